#include "archive/codec/CRCFold.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ZORELLZ_FOLDED_CRC 1
#include <immintrin.h>
// Windows compilers of the GNU family do not align the stack for 512-bit
// registers, so a spilled one would fault there.
#ifndef _WIN32
#define ZORELLZ_WIDE_FOLD 1
#endif
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
// x^(2048+32) and x^(2048-32): sixteen blocks ahead, for the wide loop.
constexpr long long kFoldBy16High = 0x00000001322d1430;
constexpr long long kFoldBy16Low = 0x000000011542778a;
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

// Carries on from four blocks x1 .. x4 (the last 64 bytes folded) over the
// `count` bytes at `data`, and reduces.
ZORELLZ_CLMUL std::uint32_t FoldFrom(__m128i x1, __m128i x2, __m128i x3, __m128i x4,
                                     const std::uint8_t* data, std::size_t count) {
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

#ifdef ZORELLZ_WIDE_FOLD

// The same folds four blocks to a 512-bit register, where the processor can
// multiply all four at once: 256 bytes a step in four registers, then down
// to one register, whose blocks carry on as x1 .. x4.
#define ZORELLZ_WIDE_CLMUL __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

ZORELLZ_WIDE_CLMUL inline __m512i Load512(const std::uint8_t* data) {
  return _mm512_loadu_si512(data);
}

// The pair (high, low) in each of the four 128-bit blocks.
ZORELLZ_WIDE_CLMUL inline __m512i Repeat4(long long high, long long low) {
  return _mm512_set_epi64(high, low, high, low, high, low, high, low);
}

ZORELLZ_WIDE_CLMUL inline __m512i Fold512(__m512i blocks, __m512i constants, __m512i next) {
  const __m512i high = _mm512_clmulepi64_epi128(blocks, constants, 0x11);
  const __m512i low = _mm512_clmulepi64_epi128(blocks, constants, 0x00);
  return _mm512_ternarylogic_epi64(low, high, next, 0x96);  // low ^ high ^ next
}

ZORELLZ_WIDE_CLMUL std::uint32_t UpdateWideCRC32(std::uint32_t crc, const std::uint8_t* data,
                                                 std::size_t count) {
  __m512i z1 = _mm512_xor_si512(Load512(data), _mm512_zextsi128_si512(_mm_cvtsi32_si128(
                                                   static_cast<int>(crc))));
  __m512i z2 = Load512(data + 64);
  __m512i z3 = Load512(data + 128);
  __m512i z4 = Load512(data + 192);
  data += 256;
  count -= 256;
  const __m512i by16 = Repeat4(kFoldBy16High, kFoldBy16Low);
  for (; count >= 256; count -= 256, data += 256) {
    z1 = Fold512(z1, by16, Load512(data));
    z2 = Fold512(z2, by16, Load512(data + 64));
    z3 = Fold512(z3, by16, Load512(data + 128));
    z4 = Fold512(z4, by16, Load512(data + 192));
  }
  const __m512i by4 = Repeat4(kFoldBy4High, kFoldBy4Low);
  z2 = Fold512(z1, by4, z2);
  z3 = Fold512(z2, by4, z3);
  z4 = Fold512(z3, by4, z4);
  alignas(64) std::uint8_t blocks[64];
  _mm512_store_si512(blocks, z4);
  return FoldFrom(Load(blocks), Load(blocks + 16), Load(blocks + 32), Load(blocks + 48), data,
                  count);
}

// Below this the wide registers' start and end cost more than they save.
constexpr std::size_t kShortestWide = 512;

bool WideFoldAvailable() {
  static const bool available =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
  return available;
}

#endif  // ZORELLZ_WIDE_FOLD

}  // namespace

bool FoldedCRC32Available() {
  static const bool available =
      __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return available;
}

ZORELLZ_CLMUL std::uint32_t UpdateFoldedCRC32(std::uint32_t crc, const std::uint8_t* data,
                                              std::size_t count) {
#ifdef ZORELLZ_WIDE_FOLD
  if (count >= kShortestWide && WideFoldAvailable()) return UpdateWideCRC32(crc, data, count);
#endif
  const __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  return FoldFrom(x1, Load(data + 16), Load(data + 32), Load(data + 48), data + 64, count - 64);
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
