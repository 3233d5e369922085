// One suite for the POSIX and the Windows layer; where the systems differ
// (permissions against attributes, links, the shell's programs) each has
// its own case.
#ifdef _WIN32
#include <windows.h>
// Not the Windows function: the suite below has that name.
#undef MessageBox
#else
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/DosTime.h"
#include "platform/PendingFile.h"
#include "platform/System.h"
#include "tests/TestSupport.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/InOutError.h"
#include "zorellz/platform/MessageBox.h"

namespace zorellz {
namespace {

using test::ReadFileBytes;
using test::TBytes;
using test::TScratchDir;
using test::WriteFileBytes;

namespace fs = std::filesystem;

// Sets an environment variable for the lifetime of the object.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value != nullptr) {
      test::SetEnvValue(name, value);
    } else {
      test::UnsetEnvValue(name);
    }
  }
  ~TScopedEnv() {
    if (old_) {
      test::SetEnvValue(name_, old_->c_str());
    } else {
      test::UnsetEnvValue(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool WaitForFile(const fs::path& path) {
  for (int i = 0; i < 100; ++i) {
    if (fs::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

// "name:kind" for each entry, in listing order.
std::string Describe(const std::vector<TDirEntry>& entries) {
  std::string text;
  for (const TDirEntry& e : entries) {
    if (!text.empty()) text += ' ';
    text += e.Name + ":" + (e.IsSymlink ? "link" : "");
    text += e.IsSymlink && (e.IsDirectory || e.IsRegular) ? "-" : "";
    text += e.IsDirectory ? "dir" : e.IsRegular ? "file" : "";
  }
  return text;
}

TEST(File, ShortReadRaisesCode100NamingTheFile) {
  TScratchDir dir;
  WriteFileBytes(dir.File("short.bin"), {1, 2, 3});
  TFile file;
  ASSERT_TRUE(file.Open(dir.File("short.bin"), TFile::TMode::kReadDenyWrite));
  char buffer[8];
  try {
    file.ReadExact(buffer, sizeof buffer);
    FAIL() << "a short read must raise";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, kInOutReadPastEnd);
    EXPECT_NE(std::string(e.what()).find("short.bin"), std::string::npos) << e.what();
  }
}

TEST(File, WriteSeekTruncateSizeRoundTrip) {
  TScratchDir dir;
  TFile file;
  ASSERT_TRUE(file.Open(dir.File("data.bin"), TFile::TMode::kCreateTruncate));
  const TBytes bytes = {10, 20, 30, 40, 50, 60};
  file.Write(bytes.data(), bytes.size());
  EXPECT_EQ(file.Size(), 6);
  EXPECT_EQ(file.Position(), 6);

  ASSERT_TRUE(file.Seek(2));
  std::uint8_t two[2];
  file.ReadExact(two, 2);
  EXPECT_EQ(two[0], 30);
  EXPECT_EQ(two[1], 40);
  file.Truncate();
  EXPECT_EQ(file.Size(), 4);
  EXPECT_FALSE(file.Seek(-1));
  file.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("data.bin")), TBytes({10, 20, 30, 40}));

  // Reopening for creation empties the file.
  ASSERT_TRUE(file.Open(dir.File("data.bin"), TFile::TMode::kCreateTruncate));
  EXPECT_EQ(file.Size(), 0);
}

TEST(File, OpenRefusesFoldersAndMissingFiles) {
  TScratchDir dir;
  TFile file;
  int error = 0;
  EXPECT_FALSE(file.Open(dir.Path(), TFile::TMode::kReadDenyWrite, &error));
  EXPECT_EQ(error, EISDIR);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(dir.File("missing"), TFile::TMode::kReadWrite, &error));
  EXPECT_EQ(error, ENOENT);
}

// The position is kept by the file object; it must stay what the system
// says through reads that end early, writes, seeks and truncation.
TEST(File, PositionFollowsEveryMove) {
  TScratchDir dir;
  TFile file;
  ASSERT_TRUE(file.Open(dir.File("p.bin"), TFile::TMode::kCreateTruncate));
  file.Write("abcdef", 6);
  EXPECT_EQ(file.Position(), 6);
  ASSERT_TRUE(file.Seek(2));
  file.Truncate();
  EXPECT_EQ(file.Size(), 2);
  char buffer[8];
  ASSERT_TRUE(file.Seek(0));
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 2u);  // ends early
  EXPECT_EQ(file.Position(), 2);
  file.Write("xy", 2);
  ASSERT_TRUE(file.Seek(1));
  ASSERT_TRUE(file.Seek(1));  // to where it is
  EXPECT_EQ(file.Read(buffer, 3), 3u);
  EXPECT_EQ(std::string(buffer, 3), "bxy");
  EXPECT_EQ(file.Position(), 4);
  file.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("p.bin")), TBytes({'a', 'b', 'x', 'y'}));
}

// Gathered writes keep the order of all writes, count in the position and
// the size, and reach the file before anything reads, seeks or ends it.
TEST(File, GatheredWritesKeepOrderAndReachTheFile) {
  TScratchDir dir;
  TFile file;
  ASSERT_TRUE(file.Open(dir.File("g.bin"), TFile::TMode::kCreateTruncate));
  file.GatherWrites(64);  // writes of up to 3 bytes are gathered
  file.Write("ab", 2);
  file.Write("cd", 2);
  EXPECT_EQ(file.Position(), 4);
  EXPECT_EQ(file.Size(), 4);
  file.Write("0123456789", 10);  // a longer write goes after what is gathered
  file.Write("ef", 2);
  ASSERT_TRUE(file.Seek(2));
  char buffer[16];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 14u);
  EXPECT_EQ(std::string(buffer, 14), "cd0123456789ef");
  ASSERT_TRUE(file.Seek(1));
  file.Write("Z", 1);
  file.Truncate();                                  // at 2: the gathered byte is in first
  for (int i = 0; i < 40; ++i) file.Write("x", 1);  // fills the buffer more than once
  file.GatherWrites(0);
  file.Close();
  EXPECT_EQ(test::TextOf(ReadFileBytes(dir.File("g.bin"))), "aZ" + std::string(40, 'x'));

  // Handing the bytes over can fail; ending the gathering says so.
  ASSERT_TRUE(file.Open(dir.File("g.bin"), TFile::TMode::kReadDenyNone));
  file.GatherWrites(64);
  file.Write("ab", 2);
  EXPECT_THROW(file.GatherWrites(0), EInOutError);
  file.Write("cd", 2);  // still gathered: the gathering did not end
  file.Close();         // drops them
  EXPECT_EQ(ReadFileBytes(dir.File("g.bin")).size(), 42u);
}

#ifdef _WIN32
TEST(File, OpenRefusesDevices) {
  TFile file;
  int error = 0;
  EXPECT_FALSE(file.Open("NUL", TFile::TMode::kReadDenyNone, &error));
  EXPECT_EQ(error, EINVAL);
  EXPECT_FALSE(file.IsOpen());
}
#else
TEST(File, OpenDoesNotHangOnAFifo) {
  TScratchDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  TFile file;
  EXPECT_FALSE(file.Open(dir.File("pipe"), TFile::TMode::kReadDenyNone));
}
#endif

TEST(File, ClosedFileRaisesInsteadOfCrashing) {
  TFile file;
  char byte;
  EXPECT_THROW(file.Read(&byte, 1), EInOutError);
  EXPECT_THROW(file.Write(&byte, 1), EInOutError);
  EXPECT_FALSE(file.Seek(0));
}

TEST(File, RenameRefusesToOverwriteReplaceOverwrites) {
  TScratchDir dir;
  WriteFileBytes(dir.File("a"), {1});
  WriteFileBytes(dir.File("b"), {2});
  EXPECT_FALSE(RenameFileNative(dir.File("a"), dir.File("b")));
  EXPECT_EQ(ReadFileBytes(dir.File("b")), TBytes({2}));
  EXPECT_TRUE(fs::exists(dir.File("a")));

  EXPECT_TRUE(RenameFileNative(dir.File("a"), dir.File("c")));
  EXPECT_FALSE(fs::exists(dir.File("a")));

  EXPECT_TRUE(ReplaceFileNative(dir.File("c"), dir.File("b")));
  EXPECT_EQ(ReadFileBytes(dir.File("b")), TBytes({1}));
  EXPECT_FALSE(fs::exists(dir.File("c")));
}

TEST(File, CopyKeepsContentDateAndPermissions) {
  TScratchDir dir;
  TBytes content(300000);  // spans several copy blocks
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7);
  WriteFileBytes(dir.File("from"), content);
  ASSERT_TRUE(SetFileDosDate(dir.File("from"), 0x2A5A6B2E));
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesNative(dir.File("from"), kFaHidden | kFaArchive));
#else
  ASSERT_EQ(chmod(dir.File("from").c_str(), 0640), 0);
#endif

  ASSERT_TRUE(CopyFileNative(dir.File("from"), dir.File("to"), true));
  EXPECT_EQ(ReadFileBytes(dir.File("to")), content);
  EXPECT_EQ(GetFileDosDate(dir.File("to")), 0x2A5A6B2E);
#ifdef _WIN32
  EXPECT_EQ(GetFileAttributesNative(dir.File("to")), kFaHidden | kFaArchive);
#else
  struct stat st;
  ASSERT_EQ(stat(dir.File("to").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif

  // An existing target stays untouched when asked to fail.
  WriteFileBytes(dir.File("other"), {9});
  EXPECT_FALSE(CopyFileNative(dir.File("from"), dir.File("other"), true));
  EXPECT_EQ(ReadFileBytes(dir.File("other")), TBytes({9}));
  EXPECT_TRUE(CopyFileNative(dir.File("from"), dir.File("other"), false));
  EXPECT_EQ(ReadFileBytes(dir.File("other")), content);
}

TEST(File, CopyOntoItselfFailsAndKeepsTheFile) {
  TScratchDir dir;
  WriteFileBytes(dir.File("self"), {1, 2, 3});
#ifdef _WIN32
  fs::create_hard_link(dir.File("self"), dir.File("alias"));
#else
  ASSERT_EQ(symlink("self", dir.File("alias").c_str()), 0);
#endif
  EXPECT_FALSE(CopyFileNative(dir.File("self"), dir.File("alias"), false));
  EXPECT_EQ(ReadFileBytes(dir.File("self")), TBytes({1, 2, 3}));
}

TEST(File, CopyOfMissingSourceLeavesNoTarget) {
  TScratchDir dir;
  EXPECT_FALSE(CopyFileNative(dir.File("missing"), dir.File("to"), false));
  EXPECT_FALSE(fs::exists(dir.File("to")));
}

TEST(File, IdentityFollowsHardAndSymbolicLinks) {
  TScratchDir dir;
  WriteFileBytes(dir.File("file"), {1});
  WriteFileBytes(dir.File("other"), {1});
  fs::create_hard_link(dir.File("file"), dir.File("hard"));
  EXPECT_TRUE(IsSameFile(dir.File("file"), dir.File("hard")));
#ifndef _WIN32
  // Symbolic links need a privilege on Windows.
  ASSERT_EQ(symlink(dir.File("file").c_str(), dir.File("soft").c_str()), 0);
  EXPECT_TRUE(IsSameFile(dir.File("file"), dir.File("soft")));
#endif
  EXPECT_FALSE(IsSameFile(dir.File("file"), dir.File("other")));
  EXPECT_FALSE(IsSameFile(dir.File("missing"), dir.File("missing")));
}

TEST(File, ListDirectorySortsAndClassifiesLinks) {
  TScratchDir dir;
  WriteFileBytes(dir.File("b.txt"), {});
  ASSERT_TRUE(MakeDirectory(dir.File("a")));
  EXPECT_FALSE(MakeDirectory(dir.File("a")));
  std::vector<TDirEntry> entries;
#ifdef _WIN32
  WriteFileBytes(dir.File("\xc3\xa9t\xc3\xa9.txt"), {});  // UTF-8 names both ways
  ASSERT_TRUE(ListDirectory(dir.Path(), entries));
  EXPECT_EQ(Describe(entries), "a:dir b.txt:file \xc3\xa9t\xc3\xa9.txt:file");
#else
  ASSERT_EQ(symlink("a", dir.File("c").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", dir.File("d").c_str()), 0);

  ASSERT_TRUE(ListDirectory(dir.Path(), entries));
  EXPECT_EQ(Describe(entries), "a:dir b.txt:file c:link-dir d:link");
#endif
  EXPECT_FALSE(ListDirectory(dir.File("missing"), entries));
}

TEST(DosTime, RoundTripsEvenSeconds) {
  const std::time_t time = LocalTime(2021, 6, 15, 13, 45, 58);
  const std::int32_t dos = TimeToDosDateTime(time);
  EXPECT_EQ(static_cast<std::uint32_t>(dos),
            (41u << 25) | (6u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 29u);
  std::time_t back;
  ASSERT_TRUE(DosDateTimeToTime(dos, back));
  EXPECT_EQ(back, time);
  // An odd second falls to the even one below it.
  EXPECT_EQ(TimeToDosDateTime(time + 1), dos);
}

#ifndef _WIN32
// Conversions of one date are kept, but only while the zone stays the same.
TEST(DosTime, SameDateInAnotherZoneIsConvertedAgain) {
  const char* saved = std::getenv("TZ");
  const std::optional<std::string> previous =
      saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
  const std::int32_t dos = static_cast<std::int32_t>((41u << 25) | (6u << 21) | (15u << 16));
  setenv("TZ", "UTC0", 1);
  tzset();
  std::time_t in_utc = 0;
  ASSERT_TRUE(DosDateTimeToTime(dos, in_utc));
  setenv("TZ", "XYZ-3", 1);  // three hours ahead of UTC
  tzset();
  std::time_t ahead = 0;
  ASSERT_TRUE(DosDateTimeToTime(dos, ahead));
  if (previous) {
    setenv("TZ", previous->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  EXPECT_EQ(in_utc - ahead, 3 * 3600);
}
#endif

TEST(DosTime, ClampsToTheDosRange) {
  EXPECT_EQ(TimeToDosDateTime(0), kDosEpoch);  // 1970
  EXPECT_EQ(static_cast<std::uint32_t>(TimeToDosDateTime(LocalTime(2200, 1, 1, 0, 0, 0))),
            0xFF9FBF7Du);
  std::time_t time;
  ASSERT_TRUE(DosDateTimeToTime(kDosEpoch, time));
  EXPECT_EQ(TimeToDosDateTime(time), kDosEpoch);
}

TEST(DosTime, RejectsInvalidFields) {
  std::time_t time;
  EXPECT_FALSE(DosDateTimeToTime(0, time));                                   // month 0
  EXPECT_FALSE(DosDateTimeToTime((1 << 25) | (2 << 21) | (30 << 16), time));  // 30 Feb 1981
  EXPECT_FALSE(DosDateTimeToTime(kDosEpoch | (24 << 11), time));              // hour 24
  EXPECT_FALSE(DosDateTimeToTime(kDosEpoch | 30, time));                      // second 60
  EXPECT_TRUE(DosDateTimeToTime((20 << 25) | (2 << 21) | (29 << 16), time));  // 29 Feb 2000
  EXPECT_FALSE(SetFileDosDate("/nonexistent/file", kDosEpoch));
  EXPECT_EQ(GetFileDosDate("/nonexistent/file"), 0);
}

#ifdef _WIN32
// wine keeps its files on a POSIX file system and reports each one as
// archived, whatever was set.
bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The four bits a file carries natively, each on its own and together.
TEST(Attributes, NativeBitsRoundTrip) {
  TScratchDir dir;
  WriteFileBytes(dir.File("f"), {});
  EXPECT_EQ(GetFileAttributesNative(dir.File("f")), kFaArchive);
  const std::int32_t always = RunsUnderWine() ? kFaArchive : 0;
  for (std::int32_t bits : {kFaReadOnly, kFaHidden, kFaSysFile, kFaArchive,
                            kFaReadOnly | kFaHidden | kFaSysFile | kFaArchive, 0}) {
    ASSERT_TRUE(SetFileAttributesNative(dir.File("f"), bits)) << bits;
    EXPECT_EQ(GetFileAttributesNative(dir.File("f")), bits | always);
  }
  // The folder bit is a fact of the file, not a setting.
  ASSERT_TRUE(SetFileAttributesNative(dir.File("f"), kFaDirectory | kFaArchive));
  EXPECT_EQ(GetFileAttributesNative(dir.File("f")), kFaArchive);
}
#else
TEST(Attributes, ReadOnlyFollowsTheOwnerWriteBit) {
  TScratchDir dir;
  WriteFileBytes(dir.File("f"), {});
  EXPECT_EQ(GetFileAttributesNative(dir.File("f")), kFaArchive);
  ASSERT_EQ(chmod(dir.File("f").c_str(), 0444), 0);
  EXPECT_EQ(GetFileAttributesNative(dir.File("f")), kFaArchive | kFaReadOnly);

  ASSERT_TRUE(SetFileAttributesNative(dir.File("f"), kFaArchive));
  struct stat st;
  ASSERT_EQ(stat(dir.File("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  ASSERT_EQ(chmod(dir.File("f").c_str(), 0666), 0);
  ASSERT_TRUE(SetFileAttributesNative(dir.File("f"), kFaReadOnly));
  ASSERT_EQ(stat(dir.File("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
}
#endif

TEST(Attributes, FoldersAndMissingPaths) {
  TScratchDir dir;
  EXPECT_EQ(GetFileAttributesNative(dir.Path()), kFaDirectory);
  EXPECT_EQ(GetFileAttributesNative(dir.File("missing")), -1);
  EXPECT_FALSE(SetFileAttributesNative(dir.File("missing"), 0));
  // A read-only folder must still take the files extracted into it.
  ASSERT_TRUE(SetFileAttributesNative(dir.Path(), kFaDirectory | kFaReadOnly));
  EXPECT_EQ(GetFileAttributesNative(dir.Path()) & kFaReadOnly, 0);
}

TEST(Attributes, CommentBitsSurviveInAnExtendedAttribute) {
  TScratchDir dir;
  WriteFileBytes(dir.File("comment"), {});
#ifdef __linux__
  const char probe = 0;
  if (setxattr(dir.File("comment").c_str(), "user.zorellz.probe", &probe, 1, 0) != 0) {
    GTEST_SKIP() << "no user extended attributes here";
  }
#else
  GTEST_SKIP() << "no extended attributes on this system";
#endif
  ASSERT_TRUE(SetFileAttributesNative(dir.File("comment"), kFaReadOnly | kFaVolumeID));
  EXPECT_EQ(GetFileAttributesNative(dir.File("comment")), kFaReadOnly | kFaVolumeID | kFaArchive);
  // Clearing them from a read-only file needs its write permission back
  // for a moment; the bits must really go.
  ASSERT_TRUE(SetFileAttributesNative(dir.File("comment"), kFaReadOnly | kFaHidden));
  EXPECT_EQ(GetFileAttributesNative(dir.File("comment")), kFaReadOnly | kFaHidden | kFaArchive);
  ASSERT_TRUE(SetFileAttributesNative(dir.File("comment"), 0));
  EXPECT_EQ(GetFileAttributesNative(dir.File("comment")), kFaArchive);
}

TEST(System, UniqueFilesAndFoldersAreDistinctAndCreated) {
  using TCreate = fs::path (*)(const fs::path&, const std::string&);
  for (const auto& [create, made] :
       {std::pair<TCreate, bool (*)(const fs::path&)>{CreateUniqueFile, FileExists},
        {CreateUniqueDirectory, DirectoryExistsNative}}) {
    TScratchDir dir;
    const fs::path a = create(dir.Path(), "zz");
    const fs::path b = create(dir.Path(), "zz");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(made(a));
    EXPECT_TRUE(made(b));
    EXPECT_EQ(a.parent_path(), dir.Path());
    EXPECT_EQ(a.filename().string().rfind("zz", 0), 0u);
    EXPECT_TRUE(create(dir.File("missing"), "zz").empty());
    EXPECT_TRUE(create(dir.Path(), "../zz").empty());
  }
}

TEST(System, TempDirectoryPrefersTempThenTmpThenTmpdir) {
  TScopedEnv temp("TEMP", "/t1");
  TScopedEnv tmp("TMP", "/t2");
  TScopedEnv tmpdir("TMPDIR", "/t3");
  EXPECT_EQ(TempDirectory(), fs::path("/t1"));
  {
    TScopedEnv no_temp("TEMP", nullptr);
    EXPECT_EQ(TempDirectory(), fs::path("/t2"));
    TScopedEnv no_tmp("TMP", "");  // empty counts as unset
    EXPECT_EQ(TempDirectory(), fs::path("/t3"));
    TScopedEnv no_tmpdir("TMPDIR", nullptr);
#ifdef _WIN32
    wchar_t system_temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, system_temp);
    EXPECT_EQ(TempDirectory(), fs::path(std::wstring(system_temp, length)));
#else
    EXPECT_EQ(TempDirectory(), fs::path("/tmp"));
#endif
  }
}

TEST(System, DiskFreeUsesTheNearestExistingFolder) {
  const std::int64_t free = DiskFreeBytes("/tmp");
  EXPECT_GT(free, 0);
  // Tests running beside this one write files meanwhile: the two answers
  // are those of one file system, not equal to the byte.
  EXPECT_NEAR(static_cast<double>(DiskFreeBytes("/tmp/no/such/folder/x")),
              static_cast<double>(free), 256.0 * 1024 * 1024);
  EXPECT_EQ(DiskFreeBytes(""), -1);
}

TEST(System, StartCommandFindsProgramsOnPath) {
  TScratchDir dir;
#ifdef _WIN32
  // This test program, started again, writes its report to a name with
  // blanks: the argument must arrive whole.
  const std::string target = dir.File("made by a child.xml");
  const std::string self = ExecutablePath().filename().string();
  ASSERT_TRUE(
      StartCommand(self + " --gtest_filter=MessageBox.* \"--gtest_output=xml:" + target + "\""));
#else
  const std::string target = dir.File("made by touch");
  ASSERT_TRUE(StartCommand("touch \"" + target + "\""));
#endif
  EXPECT_TRUE(WaitForFile(target));

  EXPECT_FALSE(StartCommand("zorellz-no-such-program-here"));
  EXPECT_FALSE(StartCommand(""));
  EXPECT_FALSE(StartCommand("   "));
  WriteFileBytes(dir.File("plain"), {});  // not executable
  EXPECT_FALSE(StartCommand(dir.File("plain")));
  EXPECT_FALSE(StartCommand(dir.Path().string()));  // a folder
}

TEST(System, ExecutablePathIsThisTest) {
  EXPECT_EQ(ExecutablePath().stem(), "platform_test");
}

TEST(MessageBox, DefaultIsNotShownAndHooksRestore) {
  EXPECT_EQ(ShowMessageBox("text", "caption", TMsgBoxButtons::kOk, TMsgBoxIcon::kNone),
            kMbNotShown);
  std::string seen;
  TMessageBoxHook previous = SetMessageBoxHook(
      [&seen](const std::string& text, const std::string&, TMsgBoxButtons, TMsgBoxIcon) {
        seen = text;
        return kMbYes;
      });
  EXPECT_EQ(ShowMessageBox("Overwrite?", "", TMsgBoxButtons::kYesNo, TMsgBoxIcon::kQuestion),
            kMbYes);
  EXPECT_EQ(seen, "Overwrite?");
  SetMessageBoxHook(previous);
  EXPECT_EQ(ShowMessageBox("text", "caption", TMsgBoxButtons::kOk, TMsgBoxIcon::kNone),
            kMbNotShown);
}

}  // namespace
}  // namespace zorellz

namespace zorellz {
namespace {

std::size_t FolderEntryCount(const std::filesystem::path& folder) {
  std::vector<TDirEntry> entries;
  EXPECT_TRUE(ListDirectory(folder, entries));
  return entries.size();
}

TEST(PendingFile, CommitReplacesTargetAndKeepsItsPermissions) {
  TScratchDir dir;
  const std::string target = dir.File("out.bin");
  WriteFileBytes(target, {1, 2, 3});
#ifndef _WIN32
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
#endif
  TPendingFile pending;
  ASSERT_TRUE(pending.Create(target));
  pending.File().Write("\x09\x08", 2);
  EXPECT_EQ(ReadFileBytes(target), TBytes({1, 2, 3})) << "untouched until the commit";
  ASSERT_TRUE(pending.Commit());
  EXPECT_EQ(ReadFileBytes(target), TBytes({9, 8}));
#ifndef _WIN32
  struct stat status;
  ASSERT_EQ(stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
#endif
  EXPECT_EQ(FolderEntryCount(dir.Path()), 1u);
}

TEST(PendingFile, UncommittedFileLeavesNoTraceAndTargetIntact) {
  TScratchDir dir;
  const std::string target = dir.File("out.bin");
  WriteFileBytes(target, {1, 2, 3});
  {
    TPendingFile pending;
    ASSERT_TRUE(pending.Create(target));
    pending.File().Write("partial", 7);
    EXPECT_EQ(FolderEntryCount(dir.Path()), 2u);
  }
  EXPECT_EQ(ReadFileBytes(target), TBytes({1, 2, 3}));
  EXPECT_EQ(FolderEntryCount(dir.Path()), 1u);
}

TEST(PendingFile, NewTargetAndFailures) {
  TScratchDir dir;
  TPendingFile pending;
  // A name longer than the file system allows for a temporary name of its own.
  const std::string long_name(240, 'n');
  ASSERT_TRUE(pending.Create(dir.File(long_name)));
  ASSERT_TRUE(pending.Commit());
  EXPECT_TRUE(FileExists(dir.File(long_name)));

  int error = 0;
  EXPECT_FALSE(pending.Create(dir.File("missing/out.bin"), &error));
  EXPECT_EQ(error, ENOENT);

  // A folder cannot be replaced by a file: the commit fails and cleans up.
  std::filesystem::create_directory(dir.File("folder"));
  std::filesystem::create_directory(dir.File("folder/inner"));
  ASSERT_TRUE(pending.Create(dir.File("folder")));
  EXPECT_FALSE(pending.Commit(&error));
  EXPECT_NE(error, 0);
  EXPECT_EQ(FolderEntryCount(dir.Path()), 2u);
#ifndef _WIN32
  // Nor is a pipe (or a device, as /dev/null) replaced: programs write into it.
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  ASSERT_TRUE(pending.Create(dir.File("pipe")));
  EXPECT_FALSE(pending.Commit(&error));
  EXPECT_EQ(error, EEXIST);
  EXPECT_TRUE(std::filesystem::is_fifo(dir.File("pipe")));
  TFolderHandle folder;
  ASSERT_TRUE(folder.Open(dir.Path()));
  ASSERT_TRUE(pending.Create(folder, "pipe"));
  EXPECT_FALSE(pending.Commit(&error));
  EXPECT_EQ(error, EEXIST);
  EXPECT_TRUE(std::filesystem::is_fifo(dir.File("pipe")));
  EXPECT_EQ(FolderEntryCount(dir.Path()), 3u);
#endif
}

#ifndef _WIN32
// A target found free takes the work file's name without a look at it; if
// something took the name meanwhile, a file is replaced as usual and a link
// is not replaced at all.  So with a file that has no name until then, and
// with a work file, as systems without nameless files have.
class FreeTarget : public ::testing::TestWithParam<bool> {
 protected:
  FreeTarget() { AllowAnonymousFiles(GetParam()); }
  ~FreeTarget() override { AllowAnonymousFiles(true); }
};

TEST_P(FreeTarget, TakenMeanwhile) {
  TScratchDir dir;
  const auto folder = std::make_shared<TFolderHandle>();
  ASSERT_TRUE(folder->Open(dir.Path()));
  const auto write_free = [&](TPendingFile& pending, const std::string& name) {
    pending.ExpectFreeTarget();
    ASSERT_TRUE(pending.Create(folder, name));
    pending.File().Write("new", 3);
  };
  TPendingFile free;
  write_free(free, "free.txt");
#ifdef __linux__
  // Linux makes it without a name: nothing shows until it is complete.
  EXPECT_EQ(FolderEntryCount(dir.Path()), GetParam() ? 0u : 1u);
#endif
  ASSERT_TRUE(free.Commit());
  struct stat status;
  ASSERT_EQ(stat(dir.File("free.txt").c_str(), &status), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(status.st_mode & 07777, 0666u & ~mask);

  TPendingFile raced;
  write_free(raced, "raced.txt");
  WriteFileBytes(dir.File("raced.txt"), {1});
  ASSERT_TRUE(raced.Commit());
  EXPECT_EQ(ReadFileBytes(dir.File("raced.txt")), TBytes({'n', 'e', 'w'}));

  TPendingFile linked;
  write_free(linked, "link.txt");
  ASSERT_EQ(symlink("free.txt", dir.File("link.txt").c_str()), 0);
  int error = 0;
  EXPECT_FALSE(linked.Commit(&error));
  EXPECT_EQ(error, ELOOP);
  EXPECT_EQ(FolderEntryCount(dir.Path()), 3u);  // no work file left
}

INSTANTIATE_TEST_SUITE_P(Nameless, FreeTarget, ::testing::Values(true, false));
#endif

}  // namespace
}  // namespace zorellz
