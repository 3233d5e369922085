// UTF-8 as the narrow text of the process.  The C run-time library that the
// cross tool chain links against converts narrow text with the code page of
// its locale, which cannot be UTF-8; the C++ library builds every
// std::filesystem::path from a std::string through mbrtowc, but gives paths
// back as UTF-8.  These definitions take the place of the run-time
// library's, so that both directions agree and every narrow path in the
// library is UTF-8, as it is on POSIX.  (CMake makes the linker take them
// before it reaches the run-time library.)
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cwchar>

namespace {

constexpr std::size_t kInvalid = static_cast<std::size_t>(-1);
constexpr std::size_t kIncomplete = static_cast<std::size_t>(-2);

// The length of the sequence that `lead` starts; 0 for a byte that cannot
// start one.  wchar_t holds 16 bits here, so only the Basic Multilingual
// Plane converts one character at a time.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  return 0;
}

}  // namespace

extern "C" {

std::size_t mbrtowc(wchar_t* out, const char* in, std::size_t count, std::mbstate_t*) {
  if (in == nullptr) return 0;
  if (count == 0) return kIncomplete;
  const auto* bytes = reinterpret_cast<const unsigned char*>(in);
  const std::size_t length = SequenceLength(bytes[0]);
  if (length == 0) {
    errno = EILSEQ;
    return kInvalid;
  }
  std::uint32_t code = length == 1 ? bytes[0] : bytes[0] & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= count) return kIncomplete;
    if ((bytes[i] & 0xC0) != 0x80) {
      errno = EILSEQ;
      return kInvalid;
    }
    code = (code << 6) | (bytes[i] & 0x3F);
  }
  // Overlong three-byte forms and surrogates are not characters.
  if ((length == 3 && code < 0x800) || (code >= 0xD800 && code <= 0xDFFF)) {
    errno = EILSEQ;
    return kInvalid;
  }
  if (out != nullptr) *out = static_cast<wchar_t>(code);
  return code == 0 ? 0 : length;
}

std::size_t mbrlen(const char* in, std::size_t count, std::mbstate_t* state) {
  return mbrtowc(nullptr, in, count, state);
}

std::size_t mbsrtowcs(wchar_t* out, const char** in, std::size_t count, std::mbstate_t* state) {
  std::size_t written = 0;
  const char* text = *in;
  while (out == nullptr || written < count) {
    wchar_t character;
    const std::size_t length = mbrtowc(&character, text, 4, state);
    if (length == kInvalid || length == kIncomplete) return kInvalid;
    if (length == 0) {
      if (out != nullptr) {
        out[written] = L'\0';
        *in = nullptr;
      }
      return written;
    }
    if (out != nullptr) out[written] = character;
    ++written;
    text += length;
  }
  *in = text;
  return written;
}

}  // extern "C"
