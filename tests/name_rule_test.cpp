// The entry name rule that writer and reader share, and what it promises:
// every archive creation reports as written lists, tests and extracts again,
// whatever names its inputs have.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/engine/NameRule.h"
#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;
using test::TScratchDir;

TEST(NameRule, ReaderRefusesWhatCouldLeaveTheFolder) {
  for (const std::string& name :
       std::vector<std::string>{"", ".", "..", "a\\b", "a/b", "c:x", std::string("a\0b", 3),
                                "tab\there", "new\nline", "del\x7F", std::string(256, 'n')}) {
    EXPECT_FALSE(LZIsReadableEntryName(name)) << testing::PrintToString(name);
    EXPECT_FALSE(LZIsWritableEntryName(name)) << testing::PrintToString(name);
  }
}

// What Windows cannot create is still read (older archives hold it and it
// does no harm here), but never written.
TEST(NameRule, WriterAlsoRefusesWhatWindowsCannotCreate) {
  for (const std::string& name : std::vector<std::string>{
           "...", "a<b", "a>b", "say \"hi\"", "a|b", "why?", "all*", "trailing ", "trailing.",
           "CON", "con.txt", "Lpt9.log", "AUX .x", "COM\xB9"}) {
    EXPECT_TRUE(LZIsReadableEntryName(name)) << name;
    EXPECT_FALSE(LZIsWritableEntryName(name)) << name;
  }
}

TEST(NameRule, BothTakeOrdinaryAndAwkwardNames) {
  for (const std::string& name : std::vector<std::string>{
           "a", ".hidden", "..x", " leading space", "CONSOLE.txt", "COM10", "LPT0", "con-fig",
           "r\xE9sum\xE9 (final) [2] {x} #1 & $ %.txt", "\x80uro", std::string(255, 'L')}) {
    EXPECT_TRUE(LZIsWritableEntryName(name)) << name;
    EXPECT_TRUE(LZIsReadableEntryName(name)) << name;
  }
}

// ---- Round trip over generated names ----

// A name of pieces that real file systems hold: punctuation, Latin and
// non-Latin letters, spaces and dots at the ends, long runs.
std::string GeneratedName(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "a", "Z", "7", " ", ".",  "-", "_",    "!",  "#",    "$",   "%",   "&",
      "'", "(", ")", "+", ",",  ";", "=",    "@",  "[",    "]",   "^",   "`",
      "{", "}", "~", ":", "\\", "<", ">",    "\"", "|",    "?",   "*",   "\t",
      "é", "ß", "Ä", "€", "œ",  "ж", "日本", "ā",  "\x7F", "CON", "txt", "3perl"};
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> length(1, 12);
  std::string name;
  const int pieces = random() % 20 == 0 ? 200 : length(random);
  for (int i = 0; i < pieces; ++i) name += kPieces[pick(random)];
  return name;
}

class NameRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(input_);
    fs::create_directories(output_);
    context_.SkippedInput = [this](const std::string& path, TLZSkipReason) {
      left_out_.insert(fs::path(path).filename().string());
    };
  }

  // Creates the inputs that the file system takes; their contents by name.
  std::map<std::string, TBytes> PutInputs(std::vector<std::string> names) {
    std::map<std::string, TBytes> made;
    unsigned seed = 1;
    for (const std::string& name : names) {
      if (name.size() > 255 || made.count(name) != 0) continue;
      const TBytes bytes = test::RandomBytes(seed % 700, seed);
      ++seed;
      std::ofstream out(input_ / name, std::ios::binary);
      if (!out) continue;
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      made[name] = bytes;
    }
    return made;
  }

  TScratchDir scratch_;
  const fs::path input_ = scratch_.Path() / "in";
  const fs::path output_ = scratch_.Path() / "out";
  const std::string archive_ = scratch_.File("names.lza");
  TLZContext context_;
  std::set<std::string> left_out_;
};

std::int32_t Quiet(TLZReportRec&, std::int32_t) {
  return 1;
}

TEST_F(NameRoundTrip, EveryNameIsExtractedByteForByteOrNamedAsLeftOut) {
  std::mt19937 random(20);
  std::vector<std::string> names = {"Dpkg::Vendor.3perl.gz", "a:b.txt", " both ends ",
                                    "ends in dot.",          "NUL.txt", "plain.txt"};
  for (int i = 0; i < 300; ++i) names.push_back(GeneratedName(random));
  const std::map<std::string, TBytes> made = PutInputs(names);

  const std::int32_t written = LZCreateArchive(context_, (input_ / "*").string(), archive_,
                                               LZNoRecurse, LZFastCompression, Quiet);
  ASSERT_GT(written, 0);
  ASSERT_EQ(LZTestArchive(context_, archive_, Quiet), written);
  ASSERT_EQ(LZDecompressArchive(context_, archive_, output_.string(), nullptr, Quiet, nullptr,
                                false, false),
            written);

  std::size_t extracted = 0;
  for (const auto& [name, bytes] : made) {
    SCOPED_TRACE(testing::PrintToString(name));
    if (left_out_.count(name) != 0) {
      EXPECT_FALSE(fs::exists(output_ / name));
      continue;
    }
    ASSERT_TRUE(fs::exists(output_ / name));
    EXPECT_TRUE(test::SameBytes(test::ReadFileBytes((output_ / name).string()), bytes));
    ++extracted;
  }
  EXPECT_EQ(extracted, static_cast<std::size_t>(written));
  EXPECT_EQ(extracted + left_out_.size(), made.size());
  // Both ways were taken, and the names that broke archives were left out.
  EXPECT_GT(left_out_.size(), 20u);
  EXPECT_GT(extracted, 20u);
  EXPECT_EQ(left_out_.count("Dpkg::Vendor.3perl.gz"), 1u);
  EXPECT_EQ(left_out_.count("a:b.txt"), 1u);
  EXPECT_EQ(left_out_.count("plain.txt"), 0u);
}

// A single compressed file of a name the rule refuses is not written: its
// name would not come back.
TEST_F(NameRoundTrip, CompressRefusesANameTheRuleRefuses) {
  const std::string too_long(129, 'n');
  std::vector<std::string> names = {too_long};
#ifndef _WIN32
  names.push_back("what?.txt");  // Windows cannot create it in the first place
#endif
  PutInputs(names);
  const std::string out = scratch_.File("out.z");
  for (const std::string& name : names)
    EXPECT_EQ(LZCheckCompressNames((input_ / name).string(), out), kLZNameNotStorable) << name;
  EXPECT_EQ(LZCheckCompressNames((input_ / "missing").string(), out), kLZInputMissing);
  EXPECT_EQ(LZCompressFile(context_, (input_ / too_long).string(), out, nullptr,
                           LZFastCompression, Quiet),
            kLZSameInputOutput);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace zorellz
