#include "archive/codec/ZrlUtils.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "platform/DosTime.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlErrors.h"

namespace zorellz {
namespace {

using namespace std::string_literals;

TEST(Backslash, AddsOneOnlyWhenMissing) {
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash(std::string(300, 'a')), std::string(300, 'a') + "\\");
}

TEST(Backslash, StripRemovesOnlyOne) {
  EXPECT_EQ(StripBackslash("C:\\A\\\\"), "C:\\A\\");
  EXPECT_EQ(StripBackslash("C:\\A"), "C:\\A");
  EXPECT_EQ(StripBackslash("\\"), "");
  EXPECT_EQ(StripBackslash(""), "");
}

TEST(ExtractPathUpTo, TakesOneLevelAfterThePrefix) {
  EXPECT_EQ(ExtractPathUpTo("C:\\A\\", "C:\\A\\B\\C\\x"), "C:\\A\\B\\");
  EXPECT_EQ(ExtractPathUpTo("C:\\A\\", "C:\\A\\B"), "C:\\A\\B");
  // Walking down a path one level at a time.
  EXPECT_EQ(ExtractPathUpTo("C:\\A\\B\\", "C:\\A\\B\\C\\x"), "C:\\A\\B\\C\\");
  EXPECT_EQ(ExtractPathUpTo("C:\\A\\B\\C\\", "C:\\A\\B\\C\\x"), "C:\\A\\B\\C\\x");
  // A prefix without its backslash stops at the one that follows it.
  EXPECT_EQ(ExtractPathUpTo("C:\\A", "C:\\A\\B"), "C:\\A\\");
  EXPECT_EQ(ExtractPathUpTo("", "\\x"), "\\");
  EXPECT_EQ(ExtractPathUpTo("C:\\A\\B\\C", "C:\\A"), "C:\\A");
}

// The recursive definition the matcher must reproduce, step by step.
bool ReferenceMatch(const char* pattern, const char* name) {
  if (std::string(pattern) == "*") return true;
  if (*name == '\0') return *pattern == '\0';
  if (*pattern == '*')
    return ReferenceMatch(pattern + 1, name) || ReferenceMatch(pattern, name + 1);
  if (*pattern == '?' || *pattern == *name) return ReferenceMatch(pattern + 1, name + 1);
  return false;
}

TEST(Wildcard, MatchesTheDocumentedExamples) {
  EXPECT_TRUE(MatchWildcard("*", ""));
  EXPECT_FALSE(MatchWildcard("*.*", "README"));
  EXPECT_TRUE(MatchWildcard("*.*", "a.txt"));
  EXPECT_TRUE(MatchWildcard("A?C", "ABC"));
  EXPECT_FALSE(MatchWildcard("A?C", "AC"));
  EXPECT_FALSE(MatchWildcard("", "x"));
  EXPECT_TRUE(MatchWildcard("", ""));
  EXPECT_FALSE(MatchWildcard("abc", "ABC"));
  EXPECT_TRUE(MatchWildcard("*.DAT", "PRICES.DAT"));
  EXPECT_FALSE(MatchWildcard("*.DAT", "PRICES.IDX"));
}

// At the end of the name only an empty pattern or a lone star is left.
TEST(Wildcard, KeepsTheEndOfNameRule) {
  EXPECT_FALSE(MatchWildcard("**", ""));
  EXPECT_TRUE(MatchWildcard("**", "x"));
  EXPECT_TRUE(MatchWildcard("a*", "a"));
  EXPECT_FALSE(MatchWildcard("a**", "a"));
  EXPECT_FALSE(MatchWildcard("a*?", "a"));
  EXPECT_FALSE(MatchWildcard("?", ""));
  EXPECT_TRUE(MatchWildcard("*a*", "a"));
}

TEST(Wildcard, StopsAtNul) {
  EXPECT_TRUE(MatchWildcard("ab\0zz"s, "ab"));
  EXPECT_TRUE(MatchWildcard("ab", "ab\0zz"s));
  EXPECT_TRUE(MatchWildcard("*", "\0abc"s));
  EXPECT_FALSE(MatchWildcard("\0*"s, "abc"));
}

TEST(Wildcard, AgreesWithTheRecursiveDefinition) {
  std::mt19937 random(7);
  const std::string pattern_letters = "ab*?";
  for (int round = 0; round < 50000; ++round) {
    std::string pattern(random() % 8, ' ');
    for (char& c : pattern) c = pattern_letters[random() % pattern_letters.size()];
    std::string name(random() % 9, ' ');
    for (char& c : name) c = "ab"[random() % 2];
    ASSERT_EQ(MatchWildcard(pattern, name), ReferenceMatch(pattern.c_str(), name.c_str()))
        << "pattern \"" << pattern << "\" name \"" << name << "\"";
  }
}

// The recursive definition needs exponential time here; the matcher must not.
TEST(Wildcard, ManyStarsStayFast) {
  std::string pattern;
  for (int i = 0; i < 60; ++i) pattern += "*a";
  pattern += "*b";
  const std::string name(2000, 'a');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(MatchWildcard(pattern, name));
  EXPECT_TRUE(MatchWildcard(pattern, name + "b"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(CompressionPercent, RoundsHalfToEven) {
  EXPECT_EQ(CompressionPercent(50, 100), 50);
  EXPECT_EQ(CompressionPercent(100, 100), 0);
  EXPECT_EQ(CompressionPercent(0, 0), 0);
  EXPECT_EQ(CompressionPercent(5, 0), 0);
  EXPECT_EQ(CompressionPercent(150, 100), -50);
  EXPECT_EQ(CompressionPercent(1, 8), 88);  // 87.5
  EXPECT_EQ(CompressionPercent(3, 8), 62);  // 62.5
  EXPECT_EQ(CompressionPercent(0, 100), 100);
  EXPECT_EQ(CompressionPercent(1, 3), 67);
}

TEST(CompressionPercent, ClampsResultsOutsideTheIntegerRange) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(CompressionPercent(kMax, 1), kMin);
  EXPECT_EQ(CompressionPercent(kMin, 1), kMax);
  EXPECT_EQ(CompressionPercent(kMax, -1), kMax);
}

TEST(Hex, KeepsLeadingZerosInUpperCase) {
  EXPECT_EQ(WordToHex(0x0A1F), "0A1F");
  EXPECT_EQ(WordToHex(0), "0000");
  EXPECT_EQ(WordToHex(0xFFFF), "FFFF");
  EXPECT_EQ(LongToHex(0x12345678), "12345678");
  EXPECT_EQ(LongToHex(0x00ABCDEF), "00ABCDEF");
}

// Sets variables for one test and puts the previous values back.
class TEnvironmentGuard {
 public:
  void Set(const std::string& name, const std::string& value) {
    Remember(name);
    test::SetEnvValue(name.c_str(), value.c_str());
  }
  void Unset(const std::string& name) {
    Remember(name);
    test::UnsetEnvValue(name.c_str());
  }
  ~TEnvironmentGuard() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        test::SetEnvValue(it->first.c_str(), it->second->c_str());
      } else {
        test::UnsetEnvValue(it->first.c_str());
      }
    }
  }

 private:
  void Remember(const std::string& name) {
    const char* value = getenv(name.c_str());
    saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// TEMPDIR is placed before TEMP, so a prefix test would pick it up.
TEST(Environment, MatchesTheWholeNameInAnyCase) {
  TEnvironmentGuard guard;
  guard.Unset("TEMP");
  guard.Unset("TEMPDIR");
  guard.Set("TEMPDIR", "/from/tempdir");
  guard.Set("TEMP", "/from/temp");
  EXPECT_EQ(GetEnvironmentValue("TEMP"), "/from/temp");
  EXPECT_EQ(GetEnvironmentValue("temp"), "/from/temp");
  EXPECT_EQ(GetEnvironmentValue("TempDir"), "/from/tempdir");
  EXPECT_EQ(GetEnvironmentValue("TEM"), "");
}

TEST(Environment, ReturnsEverythingAfterTheFirstEquals) {
  TEnvironmentGuard guard;
  guard.Set("ZORELLZ_TEST_VALUE", "a=b c");
  guard.Set("ZORELLZ_TEST_EMPTY", "");
  guard.Unset("ZORELLZ_TEST_MISSING");
  EXPECT_EQ(GetEnvironmentValue("zorellz_test_value"), "a=b c");
  EXPECT_EQ(GetEnvironmentValue("ZORELLZ_TEST_EMPTY"), "");
  EXPECT_EQ(GetEnvironmentValue("ZORELLZ_TEST_MISSING"), "");
  EXPECT_EQ(GetEnvironmentValue(""), "");
}

TEST(FileQueries, ReportFoldersSizesAndDates) {
  test::TScratchDir scratch;
  const std::string file = scratch.File("data.bin");
  test::WriteFileBytes(file, test::TBytes(12345, 7));
  EXPECT_TRUE(DirectoryExists(scratch.Path().string()));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(DirectoryExists(scratch.File("missing")));
  EXPECT_FALSE(DirectoryExists(""));

  EXPECT_EQ(GetFileSizeOf(file), 12345);
  EXPECT_EQ(GetFileSizeOf(scratch.File("missing")), 0);
  EXPECT_EQ(GetFileSizeOf(scratch.Path().string()), 0);

  const std::int32_t stamp = 0x5A6F53CA;  // 15 March 2025 10:30:20
  ASSERT_TRUE(SetFileDosDate(file, stamp));
  EXPECT_EQ(GetFileDateOf(file), stamp);
  EXPECT_EQ(GetFileDateOf(scratch.File("missing")), 0);
}

TEST(FileQueries, DiskFreeIsKnownForExistingFolders) {
  test::TScratchDir scratch;
  EXPECT_GE(GetDiskFreeOf(scratch.Path().string()), 0);
  EXPECT_EQ(GetDiskFreeOf(""), -1);
}

TEST(Messages, UnknownIdsHaveNoText) {
  EXPECT_EQ(LZMessageText(kMsgSameInputOutput), "File %s specified for both Input and Output");
  EXPECT_EQ(LZMessageText(39999), "");
  EXPECT_EQ(LZMessageText(40009), "");
}

TEST(Errors, RaiseTheRequestedClass) {
  try {
    RaiseLZError(TLZErrorClass::kError, kMsgInitFailed);
    FAIL();
  } catch (const EZorelLZError& error) {
    EXPECT_EQ(dynamic_cast<const EZorelLZCompress*>(&error), nullptr);
    EXPECT_EQ(dynamic_cast<const EZorelLZArchive*>(&error), nullptr);
    EXPECT_STREQ(error.what(), "LZ-Initialisation failed");
    EXPECT_EQ(error.MessageId, kMsgInitFailed);
  }
  EXPECT_THROW(RaiseLZError(TLZErrorClass::kCompress, kMsgInvalidParameters), EZorelLZCompress);
  EXPECT_THROW(RaiseLZError(TLZErrorClass::kArchive, kMsgNoValidListFileName), EZorelLZArchive);
}

TEST(Errors, FormatFillsThePlaceholderOnce) {
  try {
    RaiseLZErrorFmt(TLZErrorClass::kArchive, kMsgArchiveCorrupt, "C:\\DATA\\UPDATE.LZA");
    FAIL();
  } catch (const EZorelLZArchive& error) {
    EXPECT_STREQ(error.what(), "LZ Archive C:\\DATA\\UPDATE.LZA is corrupt");
    EXPECT_EQ(error.MessageId, kMsgArchiveCorrupt);
  }
  // Text from the user is never read as a format.
  try {
    RaiseLZErrorFmt(TLZErrorClass::kCompress, kMsgWrongCompressedFile, "%s%n%d%%.txt");
    FAIL();
  } catch (const EZorelLZError& error) {
    EXPECT_STREQ(error.what(), "Wrong compressed file: %s%n%d%%.txt");
  }
  // A message without a placeholder is kept as it is.
  try {
    RaiseLZErrorFmt(TLZErrorClass::kError, kMsgNoTempFileName, "ignored");
    FAIL();
  } catch (const EZorelLZError& error) {
    EXPECT_STREQ(error.what(), "Cannot create unique temporary file name");
  }
}

TEST(Errors, InOutErrorCarriesTextAndCode) {
  EInOutError error = CreateInOutError(kMsgArchiveCorrupt, kInOutReadPastEnd);
  EXPECT_STREQ(error.what(), "LZ Archive %s is corrupt");
  EXPECT_EQ(error.ErrorCode, kInOutReadPastEnd);
  try {
    RaiseInOutError(kMsgInvalidParameters, kInOutWriteFailed);
    FAIL();
  } catch (const EInOutError& raised) {
    EXPECT_STREQ(raised.what(), "Invalid parameters to LZ function");
    EXPECT_EQ(raised.ErrorCode, kInOutWriteFailed);
  }
}

}  // namespace
}  // namespace zorellz
