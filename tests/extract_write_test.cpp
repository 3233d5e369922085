// How extraction writes: durable only when asked, work files never under
// the final names, and nothing written through a folder that is (or
// becomes) a link.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Folder.h"
#include "tests/ArchiveBuilder.h"
#include "tests/TestSupport.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

namespace fs = std::filesystem;

// Folders "one" and "two", each with `per_folder` files, and a.txt at the top.
TArchiveBuilder TwoFolders(int per_folder) {
  TArchiveBuilder builder;
  const int one = builder.AddFolder("one");
  const int two = builder.AddFolder("two");
  builder.AddFile("a.txt", Text("top"));
  for (const int folder : {one, two}) {
    for (int i = 0; i < per_folder; ++i) {
      builder.AddFile("f" + std::to_string(i) + ".txt", Text(std::to_string(folder * 100 + i)),
                      folder);
    }
  }
  return builder;
}

class ExtractWriteTest : public ::testing::Test {
 protected:
  std::int32_t Extract(TLZContext& context, const TArchiveBuilder& builder,
                       TLZReportHook report = nullptr) {
    WriteFileBytes(archive_, builder.Bytes());
    context.CheckCRC = true;
    return LZExtractArchive(context, archive_, target_, nullptr, std::move(report), nullptr, true,
                            false);
  }

  TScratchDir scratch_;
  std::string archive_ = scratch_.File("archive.lza");
  std::string target_ = scratch_.File("out");
  fs::path outside_ = scratch_.Path() / "outside";
};

TEST_F(ExtractWriteTest, DurableModeSyncsEachFileOnceAndEachFolderOnce) {
  constexpr int kPerFolder = 10;
  constexpr std::uint64_t kFiles = 2 * kPerFolder + 1;
  constexpr std::uint64_t kFolders = 3;  // the target, one, two
  for (std::int32_t jobs : {1, 2}) {
    fs::remove_all(target_);
    TLZContext context;
    context.Jobs = jobs;
    EXPECT_TRUE(context.Durable);  // embedders keep what they had
    const std::uint64_t before = SyncCallCount();
    ASSERT_EQ(Extract(context, TwoFolders(kPerFolder)), kFiles);
    EXPECT_EQ(SyncCallCount() - before, kFiles + kFolders) << jobs << " jobs";

    fs::remove_all(target_);
    context.Durable = false;
    const std::uint64_t quiet = SyncCallCount();
    ASSERT_EQ(Extract(context, TwoFolders(kPerFolder)), kFiles);
    EXPECT_EQ(SyncCallCount(), quiet) << jobs << " jobs";
  }
}

#ifndef _WIN32
// The folders to flush are noted, not held open: more folders than the
// process may open descriptors are extracted and flushed all the same.
TEST_F(ExtractWriteTest, DurableModeHoldsNoDescriptorPerFolder) {
  TArchiveBuilder builder;
  constexpr int kFolders = 80;
  std::vector<int> folders;  // every folder ahead of the files, as archives hold them
  for (int i = 0; i < kFolders; ++i) folders.push_back(builder.AddFolder("d" + std::to_string(i)));
  for (const int folder : folders) builder.AddFile("f.txt", Text(std::to_string(folder)), folder);
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit low = saved;
  low.rlim_cur = 48;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  TLZContext context;
  const std::uint64_t before = SyncCallCount();
  const std::int32_t result = Extract(context, builder);
  const std::uint64_t syncs = SyncCallCount() - before;
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(result, kFolders);
  EXPECT_EQ(syncs, 2u * kFolders + 1);  // each file, each folder, the target
}
#endif

TEST_F(ExtractWriteTest, ComponentAndUpdaterStayDurableByDefault) {
  TZorelLZObj component;
  EXPECT_TRUE(component.GetDurable());
  component.SetDurable(false);
  EXPECT_FALSE(component.Context().Durable);
  TZorelLZObj another;
  EXPECT_TRUE(another.Context().Durable);
}

TEST_F(ExtractWriteTest, WorkFilesNeverAppearUnderFinalNames) {
  for (std::int32_t jobs : {1, 2}) {
    fs::remove_all(target_);
    TLZContext context;
    context.Jobs = jobs;
    context.Durable = false;
    int seen = 0;
    int early = 0;
    // While an entry is written (its progress reports), its name is free
    // and exactly one hidden work file holds its bytes.
    auto report = [&](TLZReportRec& record, std::int32_t code) -> std::int32_t {
      if (code <= 0) return 1;
      ++seen;
      if (fs::exists(record.FileName)) ++early;
      return 1;
    };
    ASSERT_EQ(Extract(context, TwoFolders(5), report), 11);
    EXPECT_GT(seen, 0);
    EXPECT_EQ(early, 0) << jobs << " jobs";
    for (const auto& entry : fs::recursive_directory_iterator(target_)) {
      EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
    }
  }
}

TEST_F(ExtractWriteTest, FolderTurnedLinkIsRefusedByName) {
  fs::create_directories(outside_);
  TLZContext context;
  std::string failed;
  // Once the folders exist, "one" is swapped for a link leading outside.
  auto report = [&](TLZReportRec& record, std::int32_t code) -> std::int32_t {
    if (code == kLZReportFileBegins && record.FileName.ends_with("a.txt")) {
      fs::rename(target_ + "/one", target_ + "/moved");
      fs::create_directory_symlink(outside_, target_ + "/one");
    }
    if (code == kLZCRCMismatch) failed = record.FileName;
    return 1;
  };
  EXPECT_EQ(Extract(context, TwoFolders(1), report), kLZPathThroughLink);
  EXPECT_EQ(failed, target_ + "/one/f0.txt");
  EXPECT_TRUE(fs::is_empty(outside_));
  EXPECT_EQ(LZReadResultCause(kLZPathThroughLink), "a folder on its path is a link");
}

TEST_F(ExtractWriteTest, FolderEntryThatIsALinkIsNamed) {
  fs::create_directories(outside_);
  fs::create_directories(target_);
  fs::create_directory_symlink(outside_, target_ + "/one");
  TLZContext context;
  std::string failed;
  auto report = [&](TLZReportRec& record, std::int32_t code) -> std::int32_t {
    if (code == kLZCRCMismatch) failed = record.FileName;
    return 1;
  };
  EXPECT_EQ(Extract(context, TwoFolders(1), report), kLZCannotCreateFolder);
  while (failed.ends_with('/')) failed.pop_back();
  EXPECT_EQ(failed, target_ + "/one");
  EXPECT_TRUE(fs::is_empty(outside_));
}

// A thread swaps a folder of the target for a link to a folder outside it,
// and back, while entries are written into that folder.
TEST_F(ExtractWriteTest, FolderSwappedForLinkNeverLeadsOutside) {
  fs::create_directories(outside_);
  const std::string folder = target_ + "/one";
  const std::string aside = target_ + "/aside";
  for (int run = 0; run < 100; ++run) {
    fs::remove_all(target_);
    fs::create_directories(folder);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
      std::error_code error;
      while (!stop) {
        fs::rename(folder, aside, error);
        if (error) continue;
        fs::create_directory_symlink(outside_, folder, error);
        fs::remove(folder, error);
        fs::rename(aside, folder, error);
      }
    });
    TLZContext context;
    context.Durable = false;
    context.Jobs = 1 + run % 2;
    const std::int32_t result = Extract(context, TwoFolders(20));
    stop = true;
    swapper.join();
    EXPECT_TRUE(result == 41 || result == kLZPathThroughLink || result == kLZCannotCreateFolder ||
                result == kLZCannotCreateOutput)
        << result;
    ASSERT_TRUE(fs::is_empty(outside_)) << "run " << run;
  }
}

}  // namespace
}  // namespace zorellz::test
