#include "archive/codec/CRCFold.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ZORELLZ_FOLDED_CRC 1
#include <immintrin.h>
#endif

namespace zorellz {

#ifdef ZORELLZ_FOLDED_CRC

namespace {

// Powers of x modulo the bit-reflected polynomial 0xEDB88320: x^(4*128+32)
// and x^(4*128-32) fold four blocks ahead, x^(128+32) and x^(128-32) one,
// x^64 folds 64 bits to 32; the last pair is the Barrett constant and the
// polynomial itself.
constexpr long long kFoldBy4High = 0x00000001c6e41596;
constexpr long long kFoldBy4Low = 0x0000000154442bd4;
constexpr long long kFoldBy1High = 0x00000000ccaa009e;
constexpr long long kFoldBy1Low = 0x00000001751997d0;
constexpr long long kFold64 = 0x0000000163cd6124;
constexpr long long kBarrettMu = 0x00000001f7011641;
constexpr long long kPolynomial = 0x00000001db710641;

#define ZORELLZ_CLMUL __attribute__((target("pclmul,sse4.1")))

ZORELLZ_CLMUL inline __m128i Load(const std::uint8_t* data) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}

// `block` carried 128 bits further on, with `next` added.
ZORELLZ_CLMUL inline __m128i Fold(__m128i block, __m128i constants, __m128i next) {
  const __m128i high = _mm_clmulepi64_si128(block, constants, 0x11);
  const __m128i low = _mm_clmulepi64_si128(block, constants, 0x00);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// 128 bits of remainder down to the 32-bit register.
ZORELLZ_CLMUL std::uint32_t Reduce(__m128i x, __m128i fold_by_1) {
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  x = _mm_xor_si128(_mm_srli_si128(x, 8), _mm_clmulepi64_si128(fold_by_1, x, 0x01));
  const __m128i fold64 = _mm_set_epi64x(0, kFold64);
  x = _mm_xor_si128(_mm_srli_si128(x, 4),
                    _mm_clmulepi64_si128(_mm_and_si128(x, mask32), fold64, 0x00));
  const __m128i barrett = _mm_set_epi64x(kBarrettMu, kPolynomial);
  __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x, mask32), barrett, 0x10), mask32);
  t = _mm_clmulepi64_si128(t, barrett, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

}  // namespace

bool FoldedCRC32Available() {
  static const bool available =
      __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return available;
}

ZORELLZ_CLMUL std::uint32_t UpdateFoldedCRC32(std::uint32_t crc, const std::uint8_t* data,
                                              std::size_t count) {
  __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(data + 16);
  __m128i x3 = Load(data + 32);
  __m128i x4 = Load(data + 48);
  data += 64;
  count -= 64;
  const __m128i by4 = _mm_set_epi64x(kFoldBy4High, kFoldBy4Low);
  for (; count >= 64; count -= 64, data += 64) {
    x1 = Fold(x1, by4, Load(data));
    x2 = Fold(x2, by4, Load(data + 16));
    x3 = Fold(x3, by4, Load(data + 32));
    x4 = Fold(x4, by4, Load(data + 48));
  }
  const __m128i by1 = _mm_set_epi64x(kFoldBy1High, kFoldBy1Low);
  x1 = Fold(x1, by1, x2);
  x1 = Fold(x1, by1, x3);
  x1 = Fold(x1, by1, x4);
  for (; count >= 16; count -= 16, data += 16) x1 = Fold(x1, by1, Load(data));
  return Reduce(x1, by1);
}

#else

bool FoldedCRC32Available() {
  return false;
}

std::uint32_t UpdateFoldedCRC32(std::uint32_t crc, const std::uint8_t*, std::size_t) {
  return crc;
}

#endif

}  // namespace zorellz
