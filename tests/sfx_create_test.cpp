// Self-extracting files: the stub copied whole, the archive behind it found
// through the trailer, and the engine's header offset put back on every way
// out.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/engine/EngineState.h"
#include "tests/ArchiveCheck.h"
#include "tests/TestSupport.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {
namespace {

namespace fs = std::filesystem;
using test::TBytes;
using test::TCheckedArchive;

std::int32_t ThrowOnFileBegins(TLZReportRec&, std::int32_t code) {
  if (code == kLZReportFileBegins) throw std::runtime_error("report failed");
  return 1;
}

class SfxCreateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LZResetEngineState();
    fs::create_directory(In());
    test::WriteFileBytes(In("a.txt"), TBytes(3000, 'a'));
    test::WriteFileBytes(In("b.bin"), test::RandomBytes(700, 5));
  }
  void TearDown() override { LZResetEngineState(); }

  std::string In() const { return scratch_.File("in"); }
  std::string In(const std::string& name) const { return scratch_.File("in/" + name); }
  std::string Stub() const { return scratch_.File("stub.exe"); }
  std::string Out() const { return scratch_.File("setup.exe"); }

  std::int32_t Build(const std::string& specs, TLZReportProc report = nullptr) {
    return LZCreateSFXArchive(Stub(), specs, Out(), LZMaxCompression, report, LZNoRecurse);
  }
  std::int32_t Build() { return Build(In() + "/*"); }

  void ExpectStubThenArchive(const TBytes& stub) {
    const TBytes out = test::ReadFileBytes(Out());
    ASSERT_GE(out.size(), stub.size());
    EXPECT_TRUE(test::SameBytes(TBytes(out.begin(), out.begin() + stub.size()), stub));
    TCheckedArchive archive;
    ASSERT_TRUE(test::CheckArchive(Out(), archive, static_cast<std::int32_t>(stub.size())));
    ASSERT_EQ(archive.Entries.size(), 2u);
    EXPECT_TRUE(test::SameBytes(archive.Find("a.txt")->Data, TBytes(3000, 'a')));
  }

  test::TScratchDir scratch_;
};

TEST_F(SfxCreateTest, CopiesStubAndAppendsArchive) {
  const TBytes stub = test::RandomBytes(5000, 11);
  test::WriteFileBytes(Stub(), stub);
  ASSERT_EQ(Build(), 2);
  ExpectStubThenArchive(stub);

  TLZArchiveHeader header;
  EXPECT_EQ(LZLocateArchive(Out(), header), 2);  // found through the trailer
  EXPECT_EQ(header.Trailer.ArchiveOffset, 5000);
}

// A self-extracting file made from a program can be started like it; one
// made from a plain file stays plain.  Either way it is readable as a new
// file would be.
TEST_F(SfxCreateTest, IsExecutableExactlyWhenTheStubIs) {
  using fs::perms;
  test::WriteFileBytes(Stub(), test::RandomBytes(100, 3));
  fs::permissions(Stub(), perms::owner_read | perms::owner_write | perms::owner_exec);
  ASSERT_EQ(Build(), 2);
  const perms made = fs::status(Out()).permissions();
  EXPECT_NE(made & perms::owner_exec, perms::none);
  EXPECT_EQ((made & perms::group_read) != perms::none, (made & perms::group_exec) != perms::none);
  EXPECT_EQ(made & perms::others_write, perms::none);

  fs::remove(Out());
  fs::permissions(Stub(), perms::owner_read | perms::owner_write);
  ASSERT_EQ(Build(), 2);
  EXPECT_EQ(fs::status(Out()).permissions() & perms::all &
                (perms::owner_exec | perms::group_exec | perms::others_exec),
            perms::none);
}

TEST_F(SfxCreateTest, ZeroByteStubGivesPlainArchive) {
  test::WriteFileBytes(Stub(), {});
  ASSERT_EQ(Build(), 2);
  ExpectStubThenArchive({});
}

// The old archive stays inside the stub; the new trailer at the end counts.
TEST_F(SfxCreateTest, StubEndingWithAnArchiveIsCopiedWhole) {
  test::WriteFileBytes(Stub(), test::RandomBytes(300, 2));
  const std::string first = scratch_.File("first.exe");
  ASSERT_EQ(
      LZCreateSFXArchive(Stub(), In() + "/b.bin", first, LZFastCompression, nullptr, LZNoRecurse),
      1);
  fs::rename(first, Stub());
  const TBytes stub = test::ReadFileBytes(Stub());
  ASSERT_EQ(Build(), 2);
  ExpectStubThenArchive(stub);
  TLZArchiveHeader header;
  EXPECT_EQ(LZLocateArchive(Out(), header), 2);
  EXPECT_EQ(header.Trailer.ArchiveOffset, static_cast<std::int32_t>(stub.size()));
}

TEST_F(SfxCreateTest, HeaderOffsetIsRestoredOnEveryWayOut) {
  test::WriteFileBytes(Stub(), test::RandomBytes(100, 1));
  LZSetHeaderOffset(33);
  ASSERT_EQ(Build(), 2);
  EXPECT_EQ(LZSetHeaderOffset(-1), 33);

  EXPECT_THROW(Build(In() + "/*", ThrowOnFileBegins), std::runtime_error);
  EXPECT_EQ(LZSetHeaderOffset(-1), 33);

  test::WriteFileBytes(scratch_.File("list.txt"), TBytes(10, 'x'));
  EXPECT_THROW(Build("/F=" + scratch_.File("list.txt")), EZorelLZArchive);
  EXPECT_EQ(LZSetHeaderOffset(-1), 33);

  // So the next plain archive is written from offset 0.
  LZSetHeaderOffset(0);
  ASSERT_EQ(Build(), 2);
  const std::string plain = scratch_.File("plain.lza");
  ASSERT_EQ(LZCreateArchive(In() + "/*", plain, LZNoRecurse, LZFastCompression, nullptr), 2);
  TCheckedArchive archive;
  EXPECT_TRUE(test::CheckArchive(plain, archive, 0));
}

TEST_F(SfxCreateTest, FailureLeavesExistingOutputUntouched) {
  test::WriteFileBytes(Stub(), test::RandomBytes(100, 1));
  const TBytes old_bytes(77, 'o');
  test::WriteFileBytes(Out(), old_bytes);
  const std::vector<std::string> names_before = scratch_.Names();
  EXPECT_THROW(Build(In() + "/*", ThrowOnFileBegins), std::runtime_error);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Out()), old_bytes));
  EXPECT_EQ(scratch_.Names(), names_before);
}

TEST_F(SfxCreateTest, NeverAddsTheOutputToItself) {
  test::WriteFileBytes(Stub(), test::RandomBytes(100, 1));
  const std::string inside = In("setup.exe");
  for (int run = 0; run < 2; ++run) {  // the second time over the old output
    ASSERT_EQ(
        LZCreateSFXArchive(Stub(), In() + "/*", inside, LZMaxCompression, nullptr, LZNoRecurse), 2);
  }
  TCheckedArchive archive;
  ASSERT_TRUE(test::CheckArchive(inside, archive, 100));
  EXPECT_EQ(archive.Entries.size(), 2u);
  EXPECT_EQ(archive.Find("setup.exe"), nullptr);
}

TEST_F(SfxCreateTest, RefusesMissingNamesAndStubThatIsTheOutput) {
  EXPECT_EQ(Build(), kLZNoFile);  // no stub
  test::WriteFileBytes(Stub(), test::RandomBytes(100, 1));
  EXPECT_EQ(LZCreateSFXArchive("", In() + "/*", Out(), LZMaxCompression, nullptr, LZNoRecurse),
            kLZNoFile);
  EXPECT_EQ(LZCreateSFXArchive(Stub(), In() + "/*", "", LZMaxCompression, nullptr, LZNoRecurse),
            kLZNoFile);

  EXPECT_EQ(LZCreateSFXArchive(Stub(), In() + "/*", Stub(), LZMaxCompression, nullptr, LZNoRecurse),
            kLZCannotCreateOutput);
  fs::create_hard_link(Stub(), Out());
  EXPECT_EQ(Build(), kLZCannotCreateOutput);
  EXPECT_TRUE(test::SameBytes(test::ReadFileBytes(Stub()), test::RandomBytes(100, 1)));
}

}  // namespace
}  // namespace zorellz
