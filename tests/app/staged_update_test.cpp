// The all-or-nothing commit of an update and the move of its help pages,
// against real folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "app/HelpPages.h"
#include "app/StagedUpdate.h"
#include "platform/System.h"
#include "tests/TestSupport.h"
#include "tests/app/AppTestSupport.h"
#include "zorellz/platform/File.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using test::FolderContents;
using test::ReadTextFile;
using test::WriteTextFile;
using zorellz::test::TScratchDir;

// Fails the `fail_at`-th move into place (1-based) for the life of the object.
class TFailingMove {
 public:
  explicit TFailingMove(int fail_at) {
    TStagedUpdate::SetMoveHookForTesting([this, fail_at](const fs::path& target) {
      Targets.push_back(target);
      return static_cast<int>(Targets.size()) != fail_at;
    });
  }
  ~TFailingMove() { TStagedUpdate::SetMoveHookForTesting(nullptr); }
  std::vector<fs::path> Targets;
};

bool HasHiddenFolders(const fs::path& data) {
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().filename().string().rfind(".tessaline-", 0) == 0) return true;
  }
  return false;
}

// Old "a.dat" and "c.idx" beside an unrelated file; the update replaces
// both and adds "b.dat" and a new folder "sub" with two files: five moves,
// in the order a.dat, b.dat, c.idx, sub/d.dat, sub/e.html.
void WriteOldData(const fs::path& data) {
  WriteTextFile(data / "a.dat", "old a");
  WriteTextFile(data / "c.idx", "old c");
  WriteTextFile(data / "keep.txt", "kept");
}
void StageUpdate(const TStagedUpdate& update) {
  const fs::path& staging = update.StagingFolder();
  WriteTextFile(staging / "a.dat", "new a");
  WriteTextFile(staging / "b.dat", "new b");
  WriteTextFile(staging / "c.idx", "new c");
  WriteTextFile(staging / "sub" / "d.dat", "new d");
  WriteTextFile(staging / "sub" / "e.html", "new e");
}

TEST(StagedUpdate, CommitsIntoEmptyDataFolderWithNestedAndEmptyFolders) {
  TScratchDir data;
  {
    TStagedUpdate update(data.Path());
    EXPECT_EQ(update.StagingFolder().parent_path(), data.Path());
    StageUpdate(update);
    fs::create_directories(update.StagingFolder() / "empty" / "deeper");
    update.Commit();
  }
  const std::map<std::string, std::string> expected = {
      {"a.dat", "new a"},    {"b.dat", "new b"}, {"c.idx", "new c"},     {"empty/", ""},
      {"empty/deeper/", ""}, {"sub/", ""},       {"sub/d.dat", "new d"}, {"sub/e.html", "new e"},
  };
  EXPECT_EQ(FolderContents(data.Path()), expected);
}

TEST(StagedUpdate, ReplacesExistingFilesAndLeavesOthers) {
  TScratchDir data;
  WriteOldData(data.Path());
  TStagedUpdate update(data.Path());
  StageUpdate(update);
  update.Commit();
  EXPECT_EQ(ReadTextFile(data.Path() / "a.dat"), "new a");
  EXPECT_EQ(ReadTextFile(data.Path() / "c.idx"), "new c");
  EXPECT_EQ(ReadTextFile(data.Path() / "keep.txt"), "kept");
  // Nothing of the old files is kept once every move has succeeded.
  EXPECT_FALSE(HasHiddenFolders(data.Path()));
}

TEST(StagedUpdate, FailedMoveRestoresDataFolderExactly) {
  for (int fail_at : {1, 2, 3, 4, 5}) {
    SCOPED_TRACE(fail_at);
    TScratchDir data;
    WriteOldData(data.Path());
    const auto before = FolderContents(data.Path());
    TFailingMove failing(fail_at);
    {
      TStagedUpdate update(data.Path());
      StageUpdate(update);
      try {
        update.Commit();
        ADD_FAILURE() << "the commit succeeded";
      } catch (const EStagedUpdateError& error) {
        ASSERT_EQ(failing.Targets.size(), static_cast<std::size_t>(fail_at));
        EXPECT_EQ(error.File(), failing.Targets.back());
        EXPECT_FALSE(error.Cause().empty());
      }
    }
    EXPECT_EQ(FolderContents(data.Path()), before);
  }
}

TEST(StagedUpdate, FailedMoveNamesTheFile) {
  TScratchDir data;
  TFailingMove failing(3);
  TStagedUpdate update(data.Path());
  StageUpdate(update);
  try {
    update.Commit();
    FAIL() << "the commit succeeded";
  } catch (const EStagedUpdateError& error) {
    EXPECT_EQ(error.File(), data.Path() / "c.idx");
    EXPECT_NE(std::string(error.what()).find("c.idx"), std::string::npos);
  }
}

TEST(StagedUpdate, ThingInTheWayFailsAndRestores) {
  struct TCase {
    const char* staged;  // a file staged in the place of ...
    const char* in_way;  // ... this, made a folder (or a file, for a folder)
    bool in_way_is_folder;
    std::errc cause;
  };
  for (const TCase& c : {TCase{"b.dat", "b.dat", true, std::errc::is_a_directory},
                         TCase{"sub/d.dat", "sub", false, std::errc::not_a_directory}}) {
    SCOPED_TRACE(c.staged);
    TScratchDir data;
    WriteOldData(data.Path());
    if (c.in_way_is_folder) {
      WriteTextFile(data.Path() / c.in_way / "inside", "inside");
    } else {
      WriteTextFile(data.Path() / c.in_way, "a file");
    }
    const auto before = FolderContents(data.Path());
    {
      TStagedUpdate update(data.Path());
      StageUpdate(update);
      try {
        update.Commit();
        ADD_FAILURE() << "the commit succeeded";
      } catch (const EStagedUpdateError& error) {
        EXPECT_EQ(error.File(), data.Path() / c.in_way);
        EXPECT_EQ(error.Cause(), std::make_error_code(c.cause).message());
      }
    }
    EXPECT_EQ(FolderContents(data.Path()), before);
  }
}

TEST(StagedUpdate, RefusesLinkInStagingFolder) {
  TScratchDir data, elsewhere;
  WriteTextFile(elsewhere.Path() / "secret", "secret");
  {
    TStagedUpdate update(data.Path());
    WriteTextFile(update.StagingFolder() / "a.dat", "new a");
    fs::create_symlink(elsewhere.Path() / "secret", update.StagingFolder() / "b.dat");
    EXPECT_THROW(update.Commit(), EStagedUpdateError);
  }
  EXPECT_TRUE(FolderContents(data.Path()).empty());
  EXPECT_EQ(ReadTextFile(elsewhere.Path() / "secret"), "secret");
}

TEST(StagedUpdate, ReplacesLinkItselfNotItsTarget) {
  TScratchDir data, elsewhere;
  WriteTextFile(elsewhere.Path() / "target", "outside");
  fs::create_symlink(elsewhere.Path() / "target", data.Path() / "a.dat");
  {
    TStagedUpdate update(data.Path());
    WriteTextFile(update.StagingFolder() / "a.dat", "new a");
    update.Commit();
  }
  EXPECT_FALSE(fs::is_symlink(data.Path() / "a.dat"));
  EXPECT_EQ(ReadTextFile(data.Path() / "a.dat"), "new a");
  EXPECT_EQ(ReadTextFile(elsewhere.Path() / "target"), "outside");
}

TEST(StagedUpdate, KeepsReplacedFilesWhenTheyCannotBePutBack) {
  TScratchDir data;
  WriteOldData(data.Path());
  // While c.idx is moved, a full folder takes the place of the new a.dat, so
  // the old a.dat cannot return: it must survive in the replaced files.
  TStagedUpdate::SetMoveHookForTesting([&](const fs::path& target) {
    if (target.filename() != "c.idx") return true;
    fs::remove(data.Path() / "a.dat");
    WriteTextFile(data.Path() / "a.dat" / "blocker", "");
    return false;
  });
  {
    TStagedUpdate update(data.Path());
    StageUpdate(update);
    EXPECT_THROW(update.Commit(), EStagedUpdateError);
  }
  TStagedUpdate::SetMoveHookForTesting(nullptr);
  bool old_a_kept = false;
  for (const auto& [name, contents] : FolderContents(data.Path())) {
    if (name.rfind(".tessaline-replaced-", 0) == 0 && name.ends_with("/a.dat")) {
      old_a_kept = contents == "old a";
    }
  }
  EXPECT_TRUE(old_a_kept);
  EXPECT_EQ(ReadTextFile(data.Path() / "c.idx"), "old c");
}

TEST(StagedUpdate, DestructorRemovesHiddenFoldersInEveryCase) {
  TScratchDir data;
  {
    TStagedUpdate never_committed(data.Path());
    StageUpdate(never_committed);
  }
  EXPECT_TRUE(FolderContents(data.Path()).empty());
  {
    TFailingMove failing(2);
    TStagedUpdate failed(data.Path());
    StageUpdate(failed);
    EXPECT_THROW(failed.Commit(), EStagedUpdateError);
  }
  EXPECT_TRUE(FolderContents(data.Path()).empty());
  {
    TStagedUpdate committed(data.Path());
    StageUpdate(committed);
    committed.Commit();
  }
  EXPECT_FALSE(HasHiddenFolders(data.Path()));
}

TEST(StagedUpdate, InstancesGetDifferentFolders) {
  TScratchDir data;
  TStagedUpdate first(data.Path()), second(data.Path());
  EXPECT_NE(first.StagingFolder(), second.StagingFolder());
  EXPECT_TRUE(fs::is_directory(first.StagingFolder()));
  EXPECT_TRUE(fs::is_directory(second.StagingFolder()));
  EXPECT_EQ(first.StagingFolder().filename().string().rfind(".tessaline-update-", 0), 0u);
}

TEST(StagedUpdate, MissingDataFolderIsReported) {
  TScratchDir scratch;
  const fs::path missing = scratch.Path() / "missing";
  try {
    TStagedUpdate update(missing);
    FAIL() << "a staging folder was made";
  } catch (const EStagedUpdateError& error) {
    EXPECT_EQ(error.File(), missing);
    EXPECT_FALSE(error.Cause().empty());
  }
}

TEST(HelpPageName, MatchesHtmlExtensionExactly) {
  for (const char* name : {"page.HTML", "page.html", "Page.HtMl", "a.b.html", ".html"}) {
    EXPECT_TRUE(IsHelpPageName(name)) << name;
  }
  for (const char* name : {"page.HTM", "page.HTML.bak", "page.xhtml", "pageHTML", "", "page."}) {
    EXPECT_FALSE(IsHelpPageName(name)) << name;
  }
}

// A data folder holding "page.html" and a help folder beside it.
struct THelpFolders {
  TScratchDir root;
  fs::path data = root.Path() / "data";
  fs::path help = root.Path() / "help";
  THelpFolders() {
    WriteTextFile(data / "page.html", "new page");
    fs::create_directory(help);
  }
};

TEST(HelpPage, MovesIntoHelpFolderReplacingOldPage) {
  THelpFolders folders;
  WriteTextFile(folders.help / "page.html", "old page");
  EXPECT_EQ(MoveHelpPage(folders.help / "page.html", folders.data / "page.html"), "");
  EXPECT_EQ(FolderContents(folders.help),
            (std::map<std::string, std::string>{{"page.html", "new page"}}));
  EXPECT_FALSE(fs::exists(folders.data / "page.html"));
}

TEST(HelpPage, MissingHelpFolderKeepsSource) {
  THelpFolders folders;
  const std::string cause =
      MoveHelpPage(folders.root.Path() / "absent" / "page.html", folders.data / "page.html");
  EXPECT_FALSE(cause.empty());
  EXPECT_EQ(ReadTextFile(folders.data / "page.html"), "new page");
}

TEST(HelpPage, FolderInPlaceOfPageKeepsSourceAndLeavesNoCopy) {
  THelpFolders folders;
  WriteTextFile(folders.help / "page.html" / "inside", "inside");
  EXPECT_FALSE(MoveHelpPage(folders.help / "page.html", folders.data / "page.html").empty());
  EXPECT_EQ(ReadTextFile(folders.data / "page.html"), "new page");
  EXPECT_EQ(FolderContents(folders.help), (std::map<std::string, std::string>{
                                              {"page.html/", ""}, {"page.html/inside", "inside"}}));
}

TEST(HelpPage, ReadOnlyHelpFolderKeepsBothPages) {
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  THelpFolders folders;
  WriteTextFile(folders.help / "page.html", "old page");
  fs::permissions(folders.help, fs::perms::owner_read | fs::perms::owner_exec);
  const std::string cause = MoveHelpPage(folders.help / "page.html", folders.data / "page.html");
  fs::permissions(folders.help, fs::perms::owner_all);
  EXPECT_FALSE(cause.empty());
  EXPECT_EQ(ReadTextFile(folders.data / "page.html"), "new page");
  EXPECT_EQ(FolderContents(folders.help),
            (std::map<std::string, std::string>{{"page.html", "old page"}}));
}

TEST(HelpPage, SameFileIsLeftAlone) {
  THelpFolders folders;
  fs::create_directory_symlink(folders.data, folders.root.Path() / "linked");
  for (const fs::path& help : {folders.data, folders.root.Path() / "linked"}) {
    SCOPED_TRACE(help.string());
    EXPECT_EQ(MoveHelpPage(help / "page.html", folders.data / "page.html"), "");
    EXPECT_EQ(FolderContents(folders.data),
              (std::map<std::string, std::string>{{"page.html", "new page"}}));
  }
}

}  // namespace
}  // namespace tessaline

namespace tessaline {
namespace {

// A data sub-folder on another file system (here a link to a folder on the
// memory file system): its files are staged beside it, so that every move
// is still a rename, and a failure takes them back there too.
TEST(StagedUpdate, SubFolderOnAnotherFileSystemIsUpdatedByRenames) {
  const fs::path shm = "/dev/shm";
  zorellz::TFileIdentity here, there;
  TScratchDir data;
  if (!zorellz::GetFileIdentity(shm, there) || !zorellz::GetFileIdentity(data.Path(), here) ||
      here.Device == there.Device) {
    GTEST_SKIP() << "no second file system at " << shm;
  }
  const fs::path elsewhere = zorellz::CreateUniqueDirectory(shm, "tessaline-test-");
  ASSERT_FALSE(elsewhere.empty());
  WriteTextFile(elsewhere / "a.dat", "old a");
  fs::create_directory_symlink(elsewhere, data.Path() / "sub");
  for (const bool fail : {true, false}) {
    SCOPED_TRACE(fail ? "failed commit" : "commit");
    TFailingMove failing(fail ? 3 : 0);
    {
      TStagedUpdate update(data.Path());
      WriteTextFile(update.StagingFolder() / "top.dat", "new top");
      WriteTextFile(update.StagingFolder() / "sub" / "a.dat", "new a");
      WriteTextFile(update.StagingFolder() / "sub" / "deeper" / "b.dat", "new b");
      if (fail) {
        EXPECT_THROW(update.Commit(), EStagedUpdateError);
      } else {
        update.Commit();
      }
    }
    const std::map<std::string, std::string> expected =
        fail ? std::map<std::string, std::string>{{"a.dat", "old a"}}
             : std::map<std::string, std::string>{
                   {"a.dat", "new a"}, {"deeper/", ""}, {"deeper/b.dat", "new b"}};
    EXPECT_EQ(FolderContents(elsewhere), expected);
    EXPECT_EQ(fs::exists(data.Path() / "top.dat"), !fail);
    EXPECT_FALSE(HasHiddenFolders(data.Path()));
  }
  fs::remove_all(elsewhere);
}

}  // namespace
}  // namespace tessaline
