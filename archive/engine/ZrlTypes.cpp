#include "zorellz/engine/ZrlTypes.h"

#include <concepts>
#include <initializer_list>
#include <type_traits>

namespace zorellz {
namespace {

// Each record names its fields once, in disk order.  Reading, writing and the
// size checks below all walk these lists, so the byte layout and the asserted
// record sizes cannot drift apart.

template <typename R>
requires std::same_as<std::remove_const_t<R>, TLZArchiveTrailer>
constexpr void ForEachField(R& r, auto&& field) {
  field(r.SpanSignature);
  field(r.SpanParts);
  field(r.SpanPart);
  field(r.SpanOffset);
  field(r.SpanDataSize);
  field(r.TrailerSignature);
  field(r.TrailerMagic);
  field(r.ArchiveOffset);
  field(r.Protection);
  field(r.Reserved);
  field(r.Reserved2);
  field(r.RunCommand);
  field(r.SpanName);
}

template <typename R>
requires std::same_as<std::remove_const_t<R>, TLZArchiveHeader>
constexpr void ForEachField(R& r, auto&& field) {
  field(r.Signature);
  field(r.PartCount);
  field(r.FileCount);
  field(r.TotalCompressed);
  field(r.TotalUncompressed);
  field(r.NamesSize);
  field(r.DirectoryCRC);
  field(r.Trailer);
}

template <typename R>
requires std::same_as<std::remove_const_t<R>, TLZFileEntry>
constexpr void ForEachField(R& r, auto&& field) {
  field(r.IsFolder);
  field(r.FolderIndex);
  field(r.ParentIndex);
  field(r.FileVersion);
  field(r.Compressed);
  field(r.CompressedSize);
  field(r.UncompressedSize);
  field(r.FileDate);
  field(r.FileAttr);
  field(r.FileCRC);
  field(r.NameLength);
  field(r.ArchiveID);
  field(r.Method);
}

template <typename R>
requires std::same_as<std::remove_const_t<R>, TLZFileHeader>
constexpr void ForEachField(R& r, auto&& field) {
  field(r.Signature);
  field(r.Unused1);
  field(r.UncompressedSize);
  field(r.CompressedSize);
  field(r.FileDate);
  field(r.FileAttr);
  field(r.FileCRC);
  field(r.FileVersion);
  field(r.SourceName);
  field(r.ArchiveID);
  field(r.Method);
  field(r.Unused2);
}

template <typename T>
concept Record = requires(const T& r) {
  ForEachField(r, [](const auto&) {});
};

template <typename T>
concept ShortField = requires(const T& f) {
  f.Bytes;
  T::kSize;
};

template <typename T>
concept FixedArray = requires(const T& a) {
  std::tuple_size<T>::value;
};

template <typename T>
constexpr std::size_t Width(const T& field) {
  if constexpr (std::is_integral_v<T>) {
    return sizeof(T);
  } else if constexpr (ShortField<T>) {
    return Width(field.Bytes);
  } else if constexpr (FixedArray<T>) {
    std::size_t total = 0;
    for (const auto& element : field) total += Width(element);
    return total;
  } else {
    static_assert(Record<T>);
    std::size_t total = 0;
    ForEachField(field, [&total](const auto& f) { total += Width(f); });
    return total;
  }
}

template <typename R>
constexpr std::size_t EncodedSize() {
  return Width(R{});
}

static_assert(EncodedSize<TLZArchiveTrailer>() == TLZArchiveTrailer::kSize);
static_assert(EncodedSize<TLZArchiveHeader>() == TLZArchiveHeader::kSize);

// Where the trailer copy starts inside the header.
constexpr std::size_t TrailerOffsetInHeader() {
  TLZArchiveHeader header;
  const void* trailer = &header.Trailer;
  std::size_t offset = 0;
  std::size_t trailer_offset = 0;
  ForEachField(header, [&](const auto& f) {
    if (static_cast<const void*>(&f) == trailer) trailer_offset = offset;
    offset += Width(f);
  });
  return trailer_offset;
}
static_assert(TrailerOffsetInHeader() == TLZArchiveHeader::kTrailerOffset);
static_assert(EncodedSize<TLZFileEntry>() == TLZFileEntry::kSize);
static_assert(EncodedSize<TLZFileHeader>() == TLZFileHeader::kSize);

// Little-endian, byte by byte: the buffers are unaligned file data.
class TByteReader {
 public:
  explicit TByteReader(const std::uint8_t* in) : in_(in) {}

  template <typename T>
  void operator()(T& field) {
    if constexpr (std::is_integral_v<T>) {
      std::uint64_t value = 0;
      for (std::size_t i = 0; i < sizeof(T); ++i) value |= std::uint64_t{*in_++} << (8 * i);
      field = static_cast<T>(static_cast<std::make_unsigned_t<T>>(value));
    } else if constexpr (ShortField<T>) {
      (*this)(field.Bytes);
    } else if constexpr (FixedArray<T>) {
      for (auto& element : field) (*this)(element);
    } else {
      ForEachField(field, *this);
    }
  }

 private:
  const std::uint8_t* in_;
};

class TByteWriter {
 public:
  explicit TByteWriter(std::uint8_t* out) : out_(out) {}

  template <typename T>
  void operator()(const T& field) {
    if constexpr (std::is_integral_v<T>) {
      auto value = static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(field));
      for (std::size_t i = 0; i < sizeof(T); ++i)
        *out_++ = static_cast<std::uint8_t>(value >> (8 * i));
    } else if constexpr (ShortField<T>) {
      (*this)(field.Bytes);
    } else if constexpr (FixedArray<T>) {
      for (const auto& element : field) (*this)(element);
    } else {
      ForEachField(field, *this);
    }
  }

 private:
  std::uint8_t* out_;
};

template <std::size_t N>
TShortField<N> FixedText(std::initializer_list<std::uint8_t> text) {
  TShortField<N> field;
  field.Bytes[0] = static_cast<std::uint8_t>(text.size());
  std::size_t i = 1;
  for (std::uint8_t c : text) field.Bytes[i++] = c;
  return field;
}

}  // namespace

void TLZArchiveTrailer::Read(const std::uint8_t* in) {
  ForEachField(*this, TByteReader(in));
}
void TLZArchiveTrailer::Write(std::uint8_t* out) const {
  ForEachField(*this, TByteWriter(out));
}

void TLZArchiveHeader::Read(const std::uint8_t* in) {
  ForEachField(*this, TByteReader(in));
}
void TLZArchiveHeader::Write(std::uint8_t* out) const {
  ForEachField(*this, TByteWriter(out));
}

void TLZFileEntry::Read(const std::uint8_t* in) {
  ForEachField(*this, TByteReader(in));
}
void TLZFileEntry::Write(std::uint8_t* out) const {
  ForEachField(*this, TByteWriter(out));
}

void TLZFileHeader::Read(const std::uint8_t* in) {
  ForEachField(*this, TByteReader(in));
}
void TLZFileHeader::Write(std::uint8_t* out) const {
  ForEachField(*this, TByteWriter(out));
}

TShortField<18> LZArchiveSignature() {
  return FixedText<18>({0x04, 0x0D, 'Z', 'r', 'l', 'L', 'Z', '_', '2', 0x05, 0x06, 0x04});
}

TShortField<3> LZSpanSignature() {
  return FixedText<3>({0x04, 0x02, 0x0A});
}

TShortField<4> LZTrailerSignature() {
  return FixedText<4>({0x04, 0x05, 0x01, 0x02});
}

TShortField<8> LZFileHeaderSignature() {
  return FixedText<8>({'a', 'Z', 'o', 'r', 'e', 'l', 'M', '#'});
}

}  // namespace zorellz
