#include "zorellz/codec/ZrlCRC.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "tests/TestSupport.h"

namespace zorellz {
namespace {

using test::RandomBytes;
using test::TBytes;

// Bit by bit, with no table: an independent account of the checksum.
std::uint32_t BitwiseCRC(const std::uint8_t* data, std::size_t count) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST(Crc, GivesTheStandardCheckValues) {
  const std::string digits = "123456789";
  EXPECT_EQ(CRC32Of(digits.data(), digits.size()), 0xCBF43926u);
  const std::string fox = "The quick brown fox jumps over the lazy dog";
  EXPECT_EQ(CRC32Of(fox.data(), fox.size()), 0x414FA339u);
  EXPECT_EQ(CRC32Of("a", 1), 0xE8B7BE43u);
  EXPECT_EQ(kCRC32Table[1], 0x77073096u);
  EXPECT_EQ(kCRC32Table[128], 0xEDB88320u);
  EXPECT_EQ(kCRC32Table[255], 0x2D02EF8Du);
}

TEST(Crc, EmptyInputGivesZero) {
  EXPECT_EQ(CRC32Of(nullptr, 0), 0u);
  std::uint32_t crc;
  InitCRC32(crc);
  EXPECT_EQ(crc, 0xFFFFFFFFu);
  EXPECT_EQ(FinalCRC32(crc), 0u);
}

TEST(Crc, CountZeroLeavesTheRegister) {
  std::uint32_t crc = 0x12345678;
  EXPECT_EQ(UpdateCRC32(crc, "x", std::uint16_t{0}), &crc);
  EXPECT_EQ(crc, 0x12345678u);
  EXPECT_EQ(UpdateCRC32(crc, "x", std::size_t{0}), &crc);
  EXPECT_EQ(crc, 0x12345678u);
}

// The sliced loop must agree with the plain definition whatever the start
// alignment and whatever is left over after the last whole block.
TEST(Crc, MatchesBitwiseReferenceAtEveryAlignmentAndLength) {
  const TBytes data = RandomBytes(4096, 1);
  for (std::size_t start = 0; start < 17; ++start) {
    for (std::size_t length = 0; length < 1100; ++length) {
      ASSERT_EQ(CRC32Of(data.data() + start, length), BitwiseCRC(data.data() + start, length))
          << "start " << start << " length " << length;
    }
  }
  EXPECT_EQ(CRC32Of(data.data() + 3, 4093), BitwiseCRC(data.data() + 3, 4093));
}

TEST(Crc, PiecesGiveTheCrcOfTheWhole) {
  const TBytes data = RandomBytes(300000, 2);
  const std::uint32_t whole = BitwiseCRC(data.data(), data.size());
  std::mt19937 random(3);
  std::uint32_t crc;
  InitCRC32(crc);
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t piece = std::min<std::size_t>(random() % 70000, data.size() - at);
    if (piece <= 0xFFFF) {
      UpdateCRC32(crc, data.data() + at, static_cast<std::uint16_t>(piece));
    } else {
      UpdateCRC32(crc, data.data() + at, piece);
    }
    at += piece;
  }
  EXPECT_EQ(FinalCRC32(crc), whole);
  EXPECT_EQ(CRC32Of(data.data(), data.size()), whole);
}

// Sizes around the 64,000-byte read buffer: one piece, one piece and a byte,
// several pieces.
TEST(CrcFile, MatchesTheBufferCrcAroundTheReadSize) {
  test::TScratchDir scratch;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{63999}, std::size_t{64000},
                           std::size_t{64001}, std::size_t{200000}}) {
    const TBytes data = RandomBytes(size, static_cast<unsigned>(size));
    const std::string path = scratch.File("data-" + std::to_string(size));
    test::WriteFileBytes(path, data);
    EXPECT_EQ(GetFileCRC32(path), BitwiseCRC(data.data(), data.size())) << size;
  }
}

TEST(CrcFile, MissingFileGivesZero) {
  test::TScratchDir scratch;
  EXPECT_EQ(GetFileCRC32(scratch.File("missing")), 0u);
}

TEST(CrcFile, UnreadableFileGivesZero) {
#ifdef _WIN32
  // Held open elsewhere without any sharing.
  test::TScratchDir scratch;
  const std::string path = scratch.File("locked");
  test::WriteFileBytes(path, {1, 2, 3});
  const HANDLE holder = CreateFileW(std::filesystem::path(path).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileCRC32(path), 0u);
  CloseHandle(holder);
#else
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
  test::TScratchDir scratch;
  const std::string path = scratch.File("locked");
  test::WriteFileBytes(path, {1, 2, 3});
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  EXPECT_EQ(GetFileCRC32(path), 0u);
#endif
}

}  // namespace
}  // namespace zorellz
