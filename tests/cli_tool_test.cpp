// The zorellz tool end to end, run as a process the way scripts and people
// use it: the command line and its statuses, standard streams, several
// inputs, the overwrite policy (with answers typed on a terminal), archives
// made and read back at every level, self-extracting, protected, spanned and
// damaged archives, and the JSON listing.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/CliRun.h"
#include "tests/TestSupport.h"

namespace zorellz::test {
namespace {

namespace fs = std::filesystem;

const std::string kCorpus = ZORELLZ_CORPUS_DIR;
const std::string kStub = kCorpus + "/fireworks.jpeg";

bool Search(const std::string& text, const std::string& pattern) {
  return std::regex_search(text,
                           std::regex(pattern, std::regex::ECMAScript | std::regex::multiline));
}

#define EXPECT_MATCH(text, pattern) \
  EXPECT_TRUE(Search(text, pattern)) << "/" << (pattern) << "/ in:\n" << (text)
#define EXPECT_NO_MATCH(text, pattern) \
  EXPECT_FALSE(Search(text, pattern)) << "/" << (pattern) << "/ in:\n" << (text)

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

std::string ReadText(const std::string& path) {
  return TextOf(ReadFileBytes(path));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, Text(text));
}

bool SameFile(const std::string& a, const std::string& b) {
  return fs::exists(a) && fs::exists(b) && ReadFileBytes(a) == ReadFileBytes(b);
}

// The regular files under `root`, relative and sorted.
std::vector<std::string> FilesUnder(const std::string& root) {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; ++it) {
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), root).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

void ExpectSameTree(const std::string& from, const std::string& to) {
  ASSERT_EQ(FilesUnder(from), FilesUnder(to));
  for (const std::string& name : FilesUnder(from)) {
    EXPECT_TRUE(SameFile(from + "/" + name, to + "/" + name)) << name;
  }
}

// Three levels of folders, an empty file among them.
void MakeTree(const std::string& root) {
  fs::create_directories(root + "/sub/deeper");
  fs::copy_file(kCorpus + "/alice29.txt", root + "/alice29.txt");
  fs::copy_file(kCorpus + "/lcet10.txt", root + "/sub/lcet10.txt");
  WriteText(root + "/sub/deeper/small.txt", "a few words\n");
  WriteText(root + "/empty.dat", "");
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
  }
}

// The tree with over 1 MB that does not compress much.
void MakeBigTree(const std::string& root) {
  MakeTree(root);
  fs::copy_file(kCorpus + "/plrabn12.txt", root + "/sub/deeper/plrabn12.txt");
  fs::copy_file(kCorpus + "/fireworks.jpeg", root + "/sub/deeper/fireworks.jpeg");
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Temp());
    MakeTree(F("tree"));
  }

  std::string F(const std::string& name) const { return scratch_.File(name); }
  std::string Temp() const { return scratch_.File("temp"); }

  // Runs the tool with nobody to answer it and the work files in Temp();
  // the status must be `expected`.
  TToolRun Run(int expected, const std::vector<std::string>& args, TToolOptions options = {}) {
    AddTemp(options);
    TToolRun run = RunTool(args, options);
    EXPECT_EQ(run.Status, expected) << Joined(args) << "\n" << run.Out << run.Err;
    return run;
  }

  TToolRun RunOnTerminal(int expected, const std::vector<std::string>& args,
                         const std::string& typed) {
    TToolOptions options;
    AddTemp(options);
    TToolRun run = RunToolOnTerminal(args, typed, options);
    EXPECT_EQ(run.Status, expected) << Joined(args) << "\n" << run.Out;
    return run;
  }

  // The archive loads and holds `folders` folders and `files` files.
  void ExpectArchive(const std::string& archive, int folders, int files) {
    const TToolRun run = Run(0, {"info", archive});
    EXPECT_MATCH(run.Out, "directory +ok, " + std::to_string(folders + files) + " entries \\(" +
                              std::to_string(folders) + " folders, " + std::to_string(files) +
                              " files\\)");
  }

  void ExpectNoWorkFiles() { EXPECT_TRUE(fs::is_empty(Temp())) << FilesUnder(Temp()).size(); }

 private:
  void AddTemp(TToolOptions& options) const {
    for (const char* name : {"TEMP", "TMP", "TMPDIR"}) options.Env.emplace_back(name, Temp());
  }
  static std::string Joined(const std::vector<std::string>& args) {
    std::string text = "zorellz";
    for (const std::string& arg : args) text += " " + arg;
    return text;
  }

  TScratchDir scratch_;
};

// ---- The command line -------------------------------------------------------

TEST_F(Cli, VersionHelpAndUnknownCommands) {
  EXPECT_MATCH(Run(0, {"--version"}).Out, "^zorellz [0-9]+\\.[0-9]+\\.[0-9]+\n$");
  const TToolRun help = Run(0, {"--help"});
  EXPECT_MATCH(help.Out, "^Usage: zorellz ");
  EXPECT_MATCH(help.Out, "Exit status:");
  EXPECT_MATCH(Run(0, {"help"}).Out, "^Usage: zorellz ");
  EXPECT_MATCH(Run(0, {"help", "list"}).Out, "Usage: zorellz list ");
  EXPECT_MATCH(Run(0, {"extract", "--help"}).Out, "Usage: zorellz extract ");

  EXPECT_EQ(Run(2, {"lsit", "x"}).Err,
            "zorellz: unknown command 'lsit' (did you mean 'list'?)\n"
            "Try 'zorellz --help' for more information.\n");
  EXPECT_MATCH(Run(2, {"help", "extrct"}).Err,
               "^zorellz: unknown command 'extrct' \\(did you mean 'extract'\\?\\)");
  EXPECT_MATCH(Run(2, {"frobnicate"}).Err, "^zorellz: unknown command 'frobnicate'\n");
  EXPECT_MATCH(Run(2, {}).Err, "^zorellz: ");
}

TEST_F(Cli, UsageErrorsExitWithTwoAndNameTheCommand) {
  const TToolRun missing = Run(2, {"create", F("a.lza")});
  EXPECT_MATCH(missing.Err, "^zorellz: FILESPEC is required\nTry 'zorellz create --help'");
  EXPECT_MATCH(Run(2, {"create", F("a.lza"), F("tree/*"), "--level", "best"}).Err,
               "^zorellz: --level");
  EXPECT_MATCH(Run(2, {"list", F("a"), F("b")}).Err, "^zorellz: .*not expected.*quote it");
  EXPECT_MATCH(Run(2, {"list", F("a"), "--quiet", "--verbose"}).Err, "^zorellz: ");
  EXPECT_FALSE(fs::exists(F("a.lza")));
}

TEST_F(Cli, FailuresGiveTheSystemsReason) {
  EXPECT_EQ(Run(1, {"crc32", F("no-such-file")}).Err,
            "zorellz: " + F("no-such-file") + ": No such file or directory\n");
  EXPECT_MATCH(Run(1, {"list", F("tree")}).Err, "^zorellz: [^\n]*tree: Is a directory\n$");
  EXPECT_MATCH(Run(1, {"create", F("no-such-folder/a.zrl"), F("tree/*")}).Err,
               "^zorellz: [^\n]*no-such-folder/a.zrl: No such file or directory\n$");
  EXPECT_MATCH(Run(1, {"create", F("tree"), F("tree/*")}).Err,
               "^zorellz: [^\n]*tree: Is a directory\n$");
}

// ---- Checksums, inspection, the raw codecs ---------------------------------

TEST_F(Cli, Crc32OfFilesAndStandardInput) {
  WriteText(F("check-value.txt"), "123456789");
  EXPECT_EQ(Run(0, {"crc32", F("check-value.txt")}).Out,
            "cbf43926  " + F("check-value.txt") + "\n");
  TToolOptions piped;
  piped.Input = "123456789";
  EXPECT_EQ(Run(0, {"crc32", "-"}, piped).Out, "cbf43926  -\n");
  // One unreadable file fails the command; the others are still shown.
  const TToolRun mixed = Run(1, {"crc32", F("no-such-file"), F("check-value.txt")});
  EXPECT_MATCH(mixed.Out, "^cbf43926  ");
  EXPECT_EQ(Run(0, {"crc32", "--quiet", F("check-value.txt")}).Out, "");
}

TEST_F(Cli, InfoFindsAnAppendedArchive) {
  const std::string appended =
      std::string(ZORELLZ_SOURCE_DIR) + "/fuzz/corpus/directory/appended.exe";
  EXPECT_MATCH(Run(0, {"info", appended}).Out,
               "found +through the trailer, at offset 64(.|\n)*directory +ok, 1 entries");
  EXPECT_MATCH(Run(1, {"info", std::string(ZORELLZ_SOURCE_DIR) + "/README.md"}).Err,
               "no archive found");
  EXPECT_EQ(Run(0, {"info", "-q", appended}).Out, "");
}

TEST_F(Cli, CodecRoundTripsThroughFilesAndPipes) {
  WriteText(F("empty.bin"), "");
  // Over 1 MiB, which both methods encode on two threads.
  WriteText(F("large.bin"), ReadText(kCorpus + "/urls.10K") + ReadText(kCorpus + "/html_x_4"));
  for (const std::string method : {"lzss", "lzh"}) {
    for (const std::string& input :
         std::vector<std::string>{kCorpus + "/lcet10.txt", F("empty.bin"), F("large.bin")}) {
      Run(0, {"codec", "encode", "--method", method, input, F("packed")});
      Run(0, {"codec", "decode", "--method", method, F("packed"), F("unpacked")});
      EXPECT_TRUE(SameFile(input, F("unpacked"))) << method << " " << input;
    }
    // Made durable on request, with the same bytes.
    Run(0, {"codec", "decode", "--sync", "--method", method, F("packed"), F("synced")});
    EXPECT_TRUE(SameFile(F("unpacked"), F("synced"))) << method;
    // Standard input to standard output, both ways.
    TToolOptions piped;
    piped.Input = ReadText(kCorpus + "/alice29.txt");
    piped.Input = Run(0, {"codec", "encode", "--method", method, "-", "-"}, piped).Out;
    EXPECT_EQ(Run(0, {"codec", "decode", "--method", method, "-", "-"}, piped).Out,
              ReadText(kCorpus + "/alice29.txt"));
  }
  ExpectNoWorkFiles();
}

#ifndef _WIN32
// A pipe given by name, as a shell's "<(command)" gives one, is read as
// standard input is.
TEST_F(Cli, NamedPipesAreReadAsStandardInput) {
  Run(0, {"codec", "encode", "--method", "lzh", kCorpus + "/alice29.txt", F("packed")});
  const std::string fifo = F("pipe");
  // The tool's standard output while a thread writes the packed file into the pipe.
  const auto fed = [&](const std::vector<std::string>& args) {
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << ReadText(F("packed")); });
    const std::string out = Run(0, args).Out;
    writer.join();
    std::filesystem::remove(fifo);
    return out;
  };
  fed({"codec", "decode", "--method", "lzh", fifo, F("unpacked")});
  EXPECT_TRUE(SameFile(kCorpus + "/alice29.txt", F("unpacked")));
  EXPECT_EQ(fed({"crc32", fifo}).substr(0, 8), Run(0, {"crc32", F("packed")}).Out.substr(0, 8));
  ExpectNoWorkFiles();
}

// An OUTPUT that is a pipe (or a device, as /dev/null) is written into, as
// cp writes, and never replaced by a file.
TEST_F(Cli, PipesNamedAsOutputAreWrittenIntoNotReplaced) {
  const std::string fifo = F("pipe");
  // What the tool writes into the pipe while a thread reads it; a reader
  // that stops at once leaves the tool a pipe without a reader.
  const auto drained = [&](int status, const std::vector<std::string>& args, bool read = true) {
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] {
      std::ifstream in(fifo, std::ios::binary);
      if (read) got.assign(std::istreambuf_iterator<char>(in), {});
    });
    const TToolRun run = Run(status, args);
    // A reader still waiting for a writer (the tool never opened the pipe)
    // sees the end of it instead of waiting for ever.
    const int unblock = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (unblock >= 0) close(unblock);
    reader.join();
    EXPECT_TRUE(fs::is_fifo(fifo));
    fs::remove(fifo);
    return read ? got : run.Err;
  };
  const std::string original = ReadText(kCorpus + "/lcet10.txt");
  WriteText(F("packed.tx~"), drained(0, {"compress", kCorpus + "/lcet10.txt", fifo, "-f"}));
  EXPECT_EQ(drained(0, {"expand", F("packed.tx~"), fifo, "--overwrite", "always"}), original);
  WriteText(F("raw"),
            drained(0, {"codec", "encode", "--method", "lzh", kCorpus + "/lcet10.txt", fifo}));
  EXPECT_EQ(drained(0, {"codec", "decode", "--method", "lzh", F("raw"), fifo}), original);
  EXPECT_MATCH(drained(1, {"codec", "decode", "--method", "lzh", F("raw"), fifo}, false),
               "pipe: cannot be written: Broken pipe");
  ExpectNoWorkFiles();
}

// A pipe in the way of a file written under its stored name is named and
// left as it is, by expand and by extract alike.
TEST_F(Cli, PipesInTheWayOfStoredNamesAreNotReplaced) {
  fs::create_directory(F("in"));
  WriteText(F("in/pipe"), "data\n");
  Run(0, {"compress", F("in/pipe"), F("pipe.lz"), "-q"});
  Run(0, {"create", F("a.lza"), F("in/pipe"), "-q"});
  fs::remove(F("in/pipe"));
  ASSERT_EQ(mkfifo(F("pipe").c_str(), 0600), 0);
  constexpr const char* kKept = "pipe: is a device, a pipe or a socket, which is not replaced";
  EXPECT_MATCH(Run(1, {"expand", F("pipe.lz"), "--overwrite", "always"}).Err, kKept);
  EXPECT_MATCH(Run(1, {"extract", F("a.lza"), F(""), "--overwrite", "always"}).Err, kKept);
  EXPECT_TRUE(fs::is_fifo(F("pipe")));
  ExpectNoWorkFiles();
}
#endif

TEST_F(Cli, CodecRefusesBadRequests) {
  // An lzh stream cut before its end code names the input, leaves no output.
  Run(0, {"codec", "encode", "--method", "lzh", kCorpus + "/lcet10.txt", F("packed")});
  TBytes cut = ReadFileBytes(F("packed"));
  cut.resize(1000);
  WriteFileBytes(F("cut"), cut);
  EXPECT_MATCH(Run(1, {"codec", "decode", "--method", "lzh", F("cut"), F("out")}).Err,
               "cut: compressed data ends before its end code");
  EXPECT_FALSE(fs::exists(F("out")));
  // Standard output gets the stream as it comes, as from gzip -dc: what came
  // before the cut, then the failure.
  cut = ReadFileBytes(F("packed"));
  cut.resize(cut.size() / 2);
  WriteFileBytes(F("half"), cut);
  const TToolRun streamed = Run(1, {"codec", "decode", "--method", "lzh", F("half"), "-"});
  EXPECT_MATCH(streamed.Err, "half: compressed data ends before its end code");
  EXPECT_GT(streamed.Out.size(), 0u);
  EXPECT_EQ(ReadText(kCorpus + "/lcet10.txt").substr(0, streamed.Out.size()), streamed.Out);
  WriteText(F("empty.bin"), "");
  // As gzip: compressed data are not shown on a terminal.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"codec", "encode", "--method", "lzh", F("empty.bin"), "-"},
        std::vector<std::string>{"compress", "-c", F("empty.bin")}}) {
    EXPECT_MATCH(RunOnTerminal(1, args, "").Out,
                 "-: compressed data are not written to a terminal");
  }
  Run(2, {"codec", "encode", "--method", "none", F("empty.bin"), F("x")});
  Run(1, {"codec", "encode", "--method", "lzss", F("no-such-file"), F("x")});
  Run(1, {"codec", "decode", "--method", "lzss", F("empty.bin"), F("empty.bin")});
}

// ---- create and compress ------------------------------------------------------

TEST_F(Cli, CreateAtEachLevel) {
  std::uintmax_t sizes[3] = {};
  int k = 0;
  for (const std::string level : {"store", "fast", "max"}) {
    const std::string archive = F("tree-" + level + ".zrl");
    const TToolRun run =
        Run(0, {"create", archive, F("tree/*"), "--recurse", "full", "--level", level});
    EXPECT_MATCH(run.Out,
                 "^[^\n]*tree-" + level +
                     ".zrl: 4 files, [0-9]+ -> [0-9]+ bytes \\(-?[0-9]+% saved\\), [0-9.]+ s\n$");
    ExpectArchive(archive, 2, 4);
    sizes[k++] = fs::file_size(archive);
  }
  EXPECT_LT(sizes[2], sizes[1]);
  EXPECT_LT(sizes[1], sizes[0]);
  // Without recursion only the top folder's files go in.
  EXPECT_EQ(Run(0, {"create", F("top.zrl"), F("tree/*"), "--quiet"}).Out, "");
  ExpectArchive(F("top.zrl"), 0, 2);
}

TEST_F(Cli, CreateTakesSeveralSpecsAsAShellGivesThem) {
  // A glob the shell expanded: each file one input.
  Run(0, {"create", F("files.lza"), F("tree/alice29.txt"), F("tree/empty.dat"), "-q"});
  ExpectArchive(F("files.lza"), 0, 2);
  // A folder means all its files; a list file adds its lines.
  WriteText(F("list.txt"), F("tree/sub/lcet10.txt") + "\n");
  Run(0, {"create", F("mixed.lza"), F("tree/sub/deeper"), "/F=" + F("list.txt"), F("tree/*.dat"),
          "-q"});
  ExpectArchive(F("mixed.lza"), 0, 3);
  // A file the specs name twice goes in once.
  Run(0, {"create", F("twice.lza"), F("tree/*.txt"), F("tree/alice29.txt"), "-q"});
  ExpectArchive(F("twice.lza"), 0, 1);
  // One folder alone keeps its structure with --recurse.
  Run(0, {"create", F("folder.lza"), F("tree"), "--recurse", "full", "-q"});
  ExpectArchive(F("folder.lza"), 2, 4);
  // A name that names nothing fails; sub-folders of several specs are refused.
  EXPECT_MATCH(Run(1, {"create", F("x.lza"), F("tree/alice29.txt"), F("tree/nothing")}).Err,
               "nothing: No such file or directory\n$");
  EXPECT_MATCH(
      Run(2, {"create", F("x.lza"), F("tree/alice29.txt"), F("tree/sub"), "--recurse", "full"}).Err,
      "sub: a folder or a mask with --recurse must be the only FILESPEC");
  EXPECT_FALSE(fs::exists(F("x.lza")));
  ExpectNoWorkFiles();
}

TEST_F(Cli, CreateVerboseNamesEachFile) {
  const TToolRun run = Run(0, {"create", F("v.lza"), F("tree"), "--recurse", "full", "--verbose"});
  for (const char* name : {"alice29.txt", "sub/lcet10.txt", "sub/deeper/small.txt", "empty.dat"}) {
    EXPECT_MATCH(run.Out, std::string("tree/") + name + "\n");
  }
}

TEST_F(Cli, CreateSelfExtracting) {
  Run(0, {"create", F("setup.exe"), F("tree/*.txt"), "--recurse", "once", "--stub", kStub,
          "--protect"});
  ExpectArchive(F("setup.exe"), 1, 2);
  const TToolRun info = Run(0, {"info", F("setup.exe")});
  EXPECT_MATCH(info.Out, "found +through the trailer, at offset " +
                             std::to_string(fs::file_size(kStub)) + "\n");
  EXPECT_MATCH(info.Out, "protected +yes");
  // The same stub as output would read itself.
  fs::copy_file(kStub, F("fireworks.jpeg"));
  EXPECT_MATCH(
      Run(1, {"create", F("fireworks.jpeg"), F("tree/*"), "--stub", F("fireworks.jpeg")}).Err,
      "^zorellz: [^\n]*fireworks.jpeg: is the stub as well\n$");
  EXPECT_MATCH(Run(1, {"create", F("setup2.exe"), F("tree/*"), "--stub", F("no-such-stub")}).Err,
               "^zorellz: [^\n]*no-such-stub: No such file or directory\n$");
}

TEST_F(Cli, CreateFromAListFile) {
  WriteText(F("list.txt"), F("tree/alice29.txt") + "\n" + F("missing.txt") + "\n\n" +
                               F("tree/sub/lcet10.txt") + "\n");
  Run(0, {"create", F("listed.zrl"), "/F=" + F("list.txt"), "--quiet"});
  ExpectArchive(F("listed.zrl"), 0, 2);
  // No valid line: the list file is named, the older archive stays.
  WriteText(F("kept.zrl"), "older contents");
  WriteText(F("bad-list.txt"), F("missing.txt") + "\n\n");
  EXPECT_MATCH(Run(1, {"create", F("kept.zrl"), "/F=" + F("bad-list.txt")}).Err,
               "^zorellz: [^\n]*bad-list.txt: no line names a file that can be archived\n$");
  EXPECT_EQ(ReadText(F("kept.zrl")), "older contents");
}

TEST_F(Cli, CreateNamesInputsLeftOutAndExitsWithTwo) {
  fs::create_directories(F("names"));
  WriteText(F("names/plain.txt"), "plain name\n");
  WriteText(F("names/\xCE\xA9mega.txt"), "a name outside Windows-1252\n");
  EXPECT_MATCH(Run(2, {"create", F("partial.zrl"), F("names/*"), "--quiet"}).Err,
               "^zorellz: [^\n]*mega.txt: left out: [^\n]+\n$");
  ExpectArchive(F("partial.zrl"), 0, 1);
}

TEST_F(Cli, CreateReplacesItsOutputOnlyWhenComplete) {
  // A write that fails half-way names the archive, not its work file, and
  // leaves the older archive as it was.
  WriteText(F("full.zrl"), "older contents");
  TToolOptions limited;
  limited.FileSizeLimit = 100 * 1024;
  EXPECT_MATCH(Run(1, {"create", F("full.zrl"), F("tree/*"), "--level", "store"}, limited).Err,
               "^zorellz: [^\n]*/full.zrl: cannot write: [^\n]+\n$");
  EXPECT_EQ(ReadText(F("full.zrl")), "older contents");
  for (const std::string& name : FilesUnder(F(".")))
    EXPECT_EQ(name.find(".full.zrl"), std::string::npos) << name;
  // As tar -cf: replaced by default; kept with --overwrite never (status 2).
  Run(0, {"create", F("full.zrl"), F("tree/*"), "-q"});
  ExpectArchive(F("full.zrl"), 0, 2);
  WriteText(F("old.zrl"), "older contents");
  EXPECT_MATCH(Run(2, {"create", F("old.zrl"), F("tree/*"), "--overwrite", "never"}).Err,
               "old.zrl: exists; kept\n$");
  EXPECT_EQ(ReadText(F("old.zrl")), "older contents");
}

TEST_F(Cli, CompressKeepsGzipsRule) {
  // Without OUTPUT the tilde name; the file starts with its 257-byte header,
  // whose signature field is a length byte and "aZorelM#".
  const std::string signature =
      "\x08"
      "aZorelM#";
  fs::copy_file(kCorpus + "/alice29.txt", F("report.txt"));
  EXPECT_MATCH(Run(0, {"compress", F("report.txt")}).Out,
               "^[^\n]*report.tx~: 1 file, [0-9]+ -> [0-9]+ bytes \\([0-9]+% saved\\)");
  EXPECT_EQ(ReadText(F("report.tx~")).substr(0, 9), signature);
  // An existing output is replaced only with --force.
  WriteText(F("taken.z"), "older contents");
  EXPECT_EQ(Run(1, {"compress", F("report.txt"), F("taken.z"), "--level", "fast"}).Err,
            "zorellz: " + F("taken.z") + ": already exists (--force replaces it)\n");
  EXPECT_EQ(ReadText(F("taken.z")), "older contents");
  Run(0, {"compress", F("report.txt"), F("taken.z"), "--level", "fast", "--force", "--quiet"});
  EXPECT_EQ(ReadText(F("taken.z")).substr(0, 9), signature);
  EXPECT_MATCH(Run(1, {"compress", F("report.txt"), F("report.txt"), "--force"}).Err,
               "^zorellz: [^\n]*report.txt: is the input file as well\n$");
  EXPECT_MATCH(Run(1, {"compress", F("no-such-input")}).Err,
               "^zorellz: [^\n]*no-such-input: No such file or directory\n$");
}

// ---- Standard streams ---------------------------------------------------------

TEST_F(Cli, CompressAndExpandThroughPipes) {
  const std::string original = ReadText(kCorpus + "/alice29.txt");
  // To stdout as gzip -c does; the summary, if any, never joins the data.
  const TToolRun packed = Run(0, {"compress", "-c", kCorpus + "/alice29.txt"});
  EXPECT_EQ(packed.Out.substr(1, 8), "aZorelM#");
  EXPECT_MATCH(packed.Err, "^-: 1 file, ");
  TToolOptions piped;
  piped.Input = packed.Out;
  // Standard input goes to standard output.
  EXPECT_EQ(Run(0, {"expand", "-", "-q"}, piped).Out, original);
  EXPECT_EQ(Run(0, {"expand", "-", "-"}, piped).Out.size(), original.size());
  Run(0, {"expand", "-", F("back.txt")}, piped);
  EXPECT_EQ(ReadText(F("back.txt")), original);
  WriteFileBytes(F("packed.tx~"), Text(packed.Out));
  EXPECT_EQ(Run(0, {"expand", "--stdout", F("packed.tx~")}).Out, original);
  piped.Input = original;
  EXPECT_EQ(Run(0, {"compress", "-", "-", "-q"}, piped).Out.substr(1, 8), "aZorelM#");
  ExpectNoWorkFiles();
}

TEST_F(Cli, ListAndTestReadAnArchiveFromStandardInput) {
  Run(0, {"create", F("a.lza"), F("tree"), "--recurse", "full", "-q"});
  TToolOptions piped;
  piped.Input = ReadText(F("a.lza"));
  EXPECT_MATCH(Run(0, {"list", "-"}, piped).Out, "^-: 4 files, 2 folders, ");
  EXPECT_MATCH(Run(0, {"test", "-"}, piped).Out, "^-: 4 files sound");
  piped.Input = "not an archive";
  EXPECT_MATCH(Run(1, {"list", "-"}, piped).Err, "^zorellz: -: not an archive");
  ExpectNoWorkFiles();
}

// ---- Sizes and spanned archives ---------------------------------------------

// `first` and its parts .2 .. .count exist, each at most `size` bytes, and
// no part follows them.
void ExpectParts(const std::string& first, int count, std::uintmax_t size) {
  const fs::path path(first);
  for (int part = 1; part <= count + 1; ++part) {
    const fs::path name =
        part == 1 ? path : path.parent_path() / (path.stem().string() + "." + std::to_string(part));
    if (part > count) {
      EXPECT_FALSE(fs::exists(name)) << name;
    } else {
      ASSERT_TRUE(fs::exists(name)) << name;
      EXPECT_LE(fs::file_size(name), size) << name;
    }
  }
}

// The number of parts that the summary of a spanned creation names.
int WrittenParts(const std::string& out, const std::string& archive) {
  std::smatch match;
  const std::string name = fs::path(archive).filename().string();
  const std::regex line(name +
                        ": [0-9]+ files, [0-9]+ -> [0-9]+ bytes \\(-?[0-9]+% saved\\), [0-9.]+ s; "
                        "written as ([0-9]+) parts: ");
  if (!std::regex_search(out, match, line)) return 0;
  return std::stoi(match[1]);
}

TEST_F(Cli, CreateSpansDisksAndReadsThemBack) {
  MakeBigTree(F("big"));
  const TToolRun run = Run(0, {"create", F("s.lza"), F("big/*"), "--recurse", "full", "--level",
                               "store", "--span", "300000", "--yes"});
  const int parts = WrittenParts(run.Out, F("s.lza"));
  EXPECT_GE(parts, 4) << run.Out;
  ExpectParts(F("s.lza"), parts, 300000);
  ExpectNoWorkFiles();
  EXPECT_MATCH(Run(0, {"list", F("s.lza")}).Out, "s.lza: 6 files, 2 folders, [^\n]*; part 1 of " +
                                                     std::to_string(parts) + " parts\n");
  EXPECT_MATCH(Run(0, {"extract", F("s.lza"), F("out"), "--yes"}).Out, "s.lza: 6 files extracted");
  ExpectSameTree(F("big"), F("out"));
  ExpectNoWorkFiles();
  // Sizes with a 1024-based suffix.
  const TToolRun suffixed = Run(0, {"create", F("k.lza"), F("big/*"), "--recurse", "full",
                                    "--level", "store", "--span", "293k", "--yes"});
  ExpectParts(F("k.lza"), WrittenParts(suffixed.Out, F("k.lza")), 293 * 1024);
  ExpectNoWorkFiles();
}

TEST_F(Cli, SpannedSelfExtractingFile) {
  MakeBigTree(F("big"));
  const TToolRun run = Run(0, {"create", F("setup.exe"), F("big/*"), "--recurse", "full", "--level",
                               "store", "--stub", kStub, "--span", "300000", "--yes"});
  const int parts = WrittenParts(run.Out, F("setup.exe"));
  ExpectParts(F("setup.exe"), parts, 300000);
  const std::string stub = ReadText(kStub);
  EXPECT_EQ(ReadText(F("setup.exe")).substr(0, stub.size()), stub);
  EXPECT_MATCH(Run(0, {"extract", F("setup.exe"), F("out"), "--yes"}).Out,
               "setup.exe: 6 files extracted");
  ExpectSameTree(F("big"), F("out"));
  // Part 1 must hold the stub and the archive's header.
  EXPECT_MATCH(
      Run(1,
          {"create", F("large-stub.exe"), F("big/*"), "--stub", kStub, "--span", "100000", "--yes"})
          .Err,
      "^zorellz: [^\n]*large-stub.exe: a disk of 100,000 bytes is too small for this archive "
      "\\(part 1 must hold the stub");
  ExpectNoWorkFiles();
}

TEST_F(Cli, ArchiveThatFitsOneDiskIsTheOrdinaryOne) {
  Run(0,
      {"create", F("plain.lza"), F("tree/*"), "--recurse", "full", "--level", "fast", "--quiet"});
  EXPECT_MATCH(Run(0, {"create", F("zip.lza"), F("tree/*"), "--recurse", "full", "--level", "fast",
                       "--span", "zip"})
                   .Out,
               "^[^\n]*zip.lza: 4 files, [0-9]+ -> [0-9]+ bytes \\([0-9]+% saved\\), [0-9.]+ s; "
               "written as one file: [^\n]*zip.lza\n$");
  EXPECT_TRUE(SameFile(F("plain.lza"), F("zip.lza")));
  EXPECT_FALSE(fs::exists(F("zip.2")));
  Run(0, {"create", F("plain.exe"), F("tree/*"), "--stub", kStub, "--quiet"});
  Run(0, {"create", F("zip.exe"), F("tree/*"), "--stub", kStub, "--span", "zip", "--quiet"});
  EXPECT_TRUE(SameFile(F("plain.exe"), F("zip.exe")));
  // A disk of exactly the archive's size takes it whole; a byte less makes two parts.
  const std::string size = std::to_string(fs::file_size(F("plain.lza")));
  Run(0, {"create", F("exact.lza"), F("tree/*"), "--recurse", "full", "--level", "fast", "--span",
          size, "-q"});
  EXPECT_TRUE(SameFile(F("plain.lza"), F("exact.lza")));
  const std::string smaller = std::to_string(fs::file_size(F("plain.lza")) - 1);
  const TToolRun over = Run(0, {"create", F("over.lza"), F("tree/*"), "--recurse", "full",
                                "--level", "fast", "--span", smaller});
  EXPECT_EQ(WrittenParts(over.Out, F("over.lza")), 2);
  ExpectParts(F("over.lza"), 2, std::stoull(smaller));
  Run(0, {"extract", F("over.lza"), F("out"), "--yes", "--quiet"});
  ExpectSameTree(F("tree"), F("out"));
  ExpectNoWorkFiles();
}

TEST_F(Cli, SpanSizesAndFailures) {
  Run(0, {"create", F("floppy.lza"), F("tree/*"), "--span", "1440", "--quiet"});
  ExpectArchive(F("floppy.lza"), 0, 2);
  for (const std::string size : {"0", "abc", "-5", "2147483648", "3G"}) {
    EXPECT_MATCH(Run(2, {"create", F("refused.lza"), F("tree/*"), "--span", size}).Err,
                 "^zorellz: --span: the disk size is a byte count from 1 to 2147483647");
  }
  EXPECT_MATCH(Run(2, {"create", F("refused.lza"), F("tree/*"), "--yes"}).Err,
               "^zorellz: --yes requires --span");
  EXPECT_FALSE(fs::exists(F("refused.lza")));
  EXPECT_EQ(Run(1, {"create", F("tiny.lza"), F("tree/*"), "--span", "100"}).Err,
            "zorellz: " + F("tiny.lza") + ": a disk of 100 bytes is too small for this archive\n");
  // A mask that matches no file writes no disk at all.
  EXPECT_EQ(Run(1, {"create", F("none.lza"), F("tree/*.none"), "--span", "300000", "--yes"}).Err,
            "zorellz: " + F("none.lza") + ": nothing to archive; no disk written\n");
  EXPECT_FALSE(fs::exists(F("none.lza")));
  // Part 2 under the archive's own name; a folder in the place of part 2.
  EXPECT_MATCH(Run(1, {"create", F("x.2"), F("tree/*"), "--recurse", "full", "--level", "store",
                       "--span", "300000"})
                   .Err,
               "^zorellz: [^\n]*x.2: its extension is a part number");
  fs::create_directories(F("d.2"));
  EXPECT_MATCH(Run(1, {"create", F("d.lza"), F("tree/*"), "--recurse", "full", "--level", "store",
                       "--span", "300000"})
                   .Err,
               "^zorellz: [^\n]*/d.2: Is a directory\n$");
  EXPECT_MATCH(Run(1, {"create", F("no-such-folder/a.lza"), F("tree/*"), "--span", "300000"}).Err,
               "^zorellz: [^\n]*no-such-folder/a.lza: No such file or directory\n$");
  ExpectNoWorkFiles();
}

TEST_F(Cli, DiskPromptOnATerminal) {
  // No at disk 2 stops the command and leaves part 1.
  const TToolRun run = RunOnTerminal(1,
                                     {"create", F("p.lza"), F("tree/*"), "--recurse", "full",
                                      "--level", "store", "--span", "300000"},
                                     "y\nn\n");
  EXPECT_MATCH(
      run.Out,
      "Insert disk 1 of 2 into [^\n]* \\(needs 299,917 bytes free\\)\\. Continue\\? \\[y/n\\] ");
  EXPECT_MATCH(run.Out,
               "zorellz: [^\n]*/p.2: stopped at the prompt for disk 2 of 2; part 1 was written");
  EXPECT_TRUE(fs::exists(F("p.lza")));
  EXPECT_FALSE(fs::exists(F("p.2")));
  ExpectNoWorkFiles();
}

// ---- list, extract, test ------------------------------------------------------

TEST_F(Cli, ListShowsEntriesAsUsersReadThem) {
  Run(0, {"create", F("a.lza"), F("tree/*"), "--recurse", "full", "--quiet"});
  const std::string out = Run(0, {"list", F("a.lza")}).Out;
  EXPECT_MATCH(out, "^ +#  Method +Packed +Size +Saved +Date +Attr +CRC +Path$");
  EXPECT_MATCH(out, "^ +1  folder .* sub$");
  EXPECT_MATCH(
      out,
      "^ +6  stored +12 +12 +0%  [0-9-]{10} [0-9:]{8}  ___A  8AF16D33  sub/deeper/small\\.txt$");
  EXPECT_MATCH(out, "^ +[0-9]  max .* sub/lcet10\\.txt$");
  EXPECT_MATCH(out, "a.lza: 4 files, 2 folders, 578855 -> [0-9]+ bytes \\([0-9]+% saved\\)$");
  EXPECT_NO_MATCH(out, "Version");
  Run(0, {"create", F("f.lza"), F("tree/*"), "--level", "fast", "-q"});
  EXPECT_MATCH(Run(0, {"list", F("f.lza")}).Out, "^ +[0-9]  fast .* alice29\\.txt$");
  // A compressed file taken over as it is.
  fs::create_directories(F("c"));
  Run(0, {"compress", F("tree/alice29.txt"), F("c/alice29.tx~"), "--level", "store", "-q"});
  Run(0, {"create", F("c.lza"), F("c/*"), "-q"});
  EXPECT_MATCH(Run(0, {"list", F("c.lza")}).Out, "^ +1  fast, stored as is .* alice29\\.tx~$");
  // Appended to a program: found through the trailer.
  Run(0, {"create", F("setup.exe"), F("tree/*"), "--recurse", "full", "--stub", kStub, "--quiet"});
  EXPECT_MATCH(Run(0, {"list", F("setup.exe")}).Out,
               "setup.exe: 4 files, 2 folders, .*; appended at offset " +
                   std::to_string(fs::file_size(kStub)) + "$");
  // Not archives.
  EXPECT_MATCH(Run(1, {"list", kCorpus + "/alice29.txt"}).Err,
               "^zorellz: .*alice29.txt: not an archive");
  EXPECT_MATCH(Run(1, {"list", F("no-such.lza")}).Err,
               "^zorellz: .*no-such.lza: No such file or directory$");
}

TEST_F(Cli, ListJsonSchema) {
  Run(0, {"create", F("setup.exe"), F("tree/*"), "--recurse", "full", "--stub", kStub, "--quiet"});
  const std::string out = Run(0, {"list", F("setup.exe"), "--json"}).Out;
  EXPECT_MATCH(out, "^\\{\n  \"format\": 1,\n");
  EXPECT_MATCH(out, "\"found\": \"trailer\"");
  EXPECT_MATCH(out, "\"archive_offset\": " + std::to_string(fs::file_size(kStub)) + ",");
  EXPECT_MATCH(out, "\"path\": \"sub/deeper/small.txt\"");
  EXPECT_MATCH(out, "\"crc\": \"8AF16D33\"");
  EXPECT_MATCH(out, "\"is_folder\": true,");
  EXPECT_MATCH(out, "\"is_folder\": false,");
  EXPECT_MATCH(out, "\"compressed\": (true|false),");
  EXPECT_MATCH(out, "\"uncompressed_size\": 12,");
  EXPECT_MATCH(out, "\"method_name\": \"max\",");
  EXPECT_MATCH(out, "\"saved_percent\": [0-9]+,");
  EXPECT_NO_MATCH(out, "\"(is_folder|compressed|comment)\": [0-9]");
}

TEST_F(Cli, ExtractNamesWhyItsTargetCannotBeUsed) {
  Run(0, {"create", F("a.lza"), F("tree/*"), "--recurse", "full", "-q"});
  WriteText(F("file"), "");
  EXPECT_MATCH(Run(1, {"extract", F("a.lza"), F("file")}).Err, "file: Not a directory\n$");
  EXPECT_MATCH(Run(1, {"extract", F("a.lza"), F("file/sub")}).Err,
               "file/sub: cannot be created: Not a directory\n$");
}

TEST_F(Cli, ExtractRoundTripsAtEachLevel) {
  for (const std::string level : {"store", "fast", "max"}) {
    Run(0, {"create", F(level + ".lza"), F("tree/*"), "--recurse", "full", "--level", level,
            "--quiet"});
    EXPECT_MATCH(Run(0, {"extract", F(level + ".lza"), F("out-" + level)}).Out,
                 level + ".lza: 4 files extracted, [0-9]+ -> 578855 bytes, [0-9.]+ s$");
    ExpectSameTree(F("tree"), F("out-" + level));
  }
  EXPECT_MATCH(Run(0, {"test", F("max.lza")}).Out, "max.lza: 4 files sound");
  const TToolRun verbose = Run(0, {"test", F("max.lza"), "-v"});
  EXPECT_MATCH(verbose.Out, "^sub/deeper/small.txt$");
  // The current folder by default; --flat drops the folders.
  fs::create_directories(F("here"));
  TToolOptions here;
  here.Folder = F("here");
  EXPECT_EQ(Run(0, {"extract", "../max.lza", "--flat", "--quiet"}, here).Out, "");
  EXPECT_TRUE(SameFile(F("tree/sub/deeper/small.txt"), F("here/small.txt")));
  EXPECT_FALSE(fs::exists(F("here/sub")));
  // A mask by name or path inside the archive, an entry by number.
  EXPECT_MATCH(Run(0, {"extract", F("max.lza"), F("masked"), "--mask", "sub\\lcet10.txt"}).Out,
               "1 file extracted");
  EXPECT_EQ(FilesUnder(F("masked")), std::vector<std::string>{"sub/lcet10.txt"});
  EXPECT_MATCH(Run(0, {"extract", F("max.lza"), F("numbered"), "--entry", "3"}).Out,
               "1 file extracted");
  EXPECT_EQ(FilesUnder(F("numbered")).size(), 1u);
  EXPECT_MATCH(Run(1, {"extract", F("max.lza"), F("none"), "--mask", "*.none"}).Err,
               "max.lza: no file matches \\*\\.none$");
  EXPECT_MATCH(Run(1, {"extract", F("max.lza"), F("none"), "--entry", "7"}).Err,
               "max.lza: has no entry 7 \\(it has 6\\)$");
  EXPECT_MATCH(Run(1, {"extract", F("max.lza"), F("none"), "--entry", "1"}).Err,
               "max.lza: entry 1 is a folder");
  // Compressed entries left compressed expand to the original.
  Run(0, {"extract", F("max.lza"), F("unexpanded"), "--unexpanded"});
  Run(0, {"expand", F("unexpanded/alice29.txt"), F("alice.back")});
  EXPECT_TRUE(SameFile(F("tree/alice29.txt"), F("alice.back")));
}

// ---- One overwrite policy -------------------------------------------------------

class CliOverwrite : public Cli {
 protected:
  void SetUp() override {
    Cli::SetUp();
    Run(0, {"create", F("a.lza"), F("tree/*"), "--recurse", "full", "--quiet"});
    fs::create_directories(F("out/sub"));
    WriteText(F("out/sub/lcet10.txt"), "older\n");
    WriteText(F("out/empty.dat"), "older\n");
  }
};

TEST_F(CliOverwrite, ScriptsKeepExistingFilesWithStatusTwo) {
  const TToolRun run = Run(2, {"extract", F("a.lza"), F("out")});
  EXPECT_MATCH(run.Out, "a.lza: 2 files extracted, .*, 2 kept,");
  EXPECT_MATCH(
      run.Err,
      "^zorellz: [^\n]*out/sub/lcet10.txt: exists; kept \\(--overwrite always replaces it\\)$");
  EXPECT_MATCH(run.Err, "^zorellz: [^\n]*out/empty.dat: exists; kept");
  EXPECT_EQ(ReadText(F("out/sub/lcet10.txt")), "older\n");
  // Asked for in so many words: no failure.
  EXPECT_MATCH(Run(0, {"extract", F("a.lza"), F("out"), "--overwrite", "never"}).Out, "4 kept,");
  // Asked with nobody to answer: kept.
  EXPECT_MATCH(
      Run(0, {"extract", F("a.lza"), F("out"), "--overwrite", "ask", "--mask", "empty.dat"}).Err,
      "already exists");
  EXPECT_EQ(ReadText(F("out/empty.dat")), "older\n");
  Run(0, {"extract", F("a.lza"), F("out"), "--overwrite", "always"});
  ExpectSameTree(F("tree"), F("out"));
}

TEST_F(CliOverwrite, EntriesLeftCompressedKeepExistingFilesToo) {
  // Kept by default and by "never", named; replaced by "always".
  EXPECT_MATCH(Run(2, {"extract", F("a.lza"), F("out"), "--unexpanded"}).Err,
               "out/sub/lcet10.txt: exists; kept");
  EXPECT_EQ(ReadText(F("out/sub/lcet10.txt")), "older\n");
  Run(0, {"extract", F("a.lza"), F("out"), "--unexpanded", "--overwrite", "never"});
  EXPECT_EQ(ReadText(F("out/sub/lcet10.txt")), "older\n");
  Run(0, {"extract", F("a.lza"), F("out"), "--unexpanded", "--overwrite", "always"});
  Run(0, {"expand", F("out/sub/lcet10.txt"), F("lcet10.back")});
  EXPECT_TRUE(SameFile(F("tree/sub/lcet10.txt"), F("lcet10.back")));
}

TEST_F(CliOverwrite, TerminalQuestionTakesAllNoneAndCancel) {
  // Two lines per file; "all" answers the rest.
  TToolRun run = RunOnTerminal(0, {"extract", F("a.lza"), F("out")}, "all\n");
  EXPECT_MATCH(
      run.Out,
      "already exists \\([0-9,]+ bytes?, [^)]*\\); the new one has [0-9,]+ bytes, [^\n]*\\.\r?\n"
      "Replace it\\? \\[y\\]es, \\[n\\]o, \\[a\\]ll, \\[N\\]one, \\[c\\]ancel: ");
  EXPECT_EQ(Occurrences(run.Out, "Replace it?"), 1u) << run.Out;
  ExpectSameTree(F("tree"), F("out"));
  // "N" keeps this one and every other.
  WriteText(F("out/sub/lcet10.txt"), "older\n");
  WriteText(F("out/empty.dat"), "older\n");
  run = RunOnTerminal(0, {"extract", F("a.lza"), F("out")}, "N\n");
  EXPECT_EQ(ReadText(F("out/sub/lcet10.txt")), "older\n");
  EXPECT_EQ(ReadText(F("out/empty.dat")), "older\n");
  // One at a time, in the archive's order (empty.dat, then sub/lcet10.txt);
  // then cancel stops the command.
  fs::remove(F("out/alice29.txt"));
  fs::remove(F("out/sub/deeper/small.txt"));
  run = RunOnTerminal(0, {"extract", F("a.lza"), F("out")}, "y\nn\n");
  EXPECT_EQ(Occurrences(run.Out, "Replace it?"), 2u) << run.Out;
  EXPECT_EQ(ReadText(F("out/empty.dat")), "");
  EXPECT_EQ(ReadText(F("out/sub/lcet10.txt")), "older\n");
  run = RunOnTerminal(1, {"extract", F("a.lza"), F("out")}, "cancel\n");
  EXPECT_MATCH(run.Out, "a.lza: stopped at your request");
}

TEST_F(CliOverwrite, EveryWritingCommandFollowsThePolicy) {
  // expand and sfx-extract keep by default off a terminal, with status 2.
  fs::copy_file(kCorpus + "/alice29.txt", F("report.txt"));
  Run(0, {"compress", F("report.txt"), "-q"});
  EXPECT_MATCH(
      Run(2, {"expand", F("report.tx~")}).Err,
      "report.tx~: the file it expands to exists; kept \\(--overwrite always replaces it\\)$");
  Run(0, {"create", F("SETUP.EXE"), F("tree/*"), "--stub", kStub, "-q"});
  WriteText(F("SETUP.LZA"), "older\n");
  EXPECT_MATCH(Run(2, {"sfx-extract", F("SETUP.EXE")}).Err, "SETUP.LZA: exists; kept");
  EXPECT_EQ(ReadText(F("SETUP.LZA")), "older\n");
  EXPECT_MATCH(Run(0, {"sfx-extract", F("SETUP.EXE"), "--overwrite", "always"}).Out,
               "SETUP.LZA: [0-9]+ bytes");
  // On a terminal compress asks; create replaces unless asked to ask.
  WriteText(F("taken.z"), "older\n");
  RunOnTerminal(0, {"compress", F("report.txt"), F("taken.z"), "-q"}, "y\n");
  EXPECT_NE(ReadText(F("taken.z")), "older\n");
  WriteText(F("kept.lza"), "older\n");
  const TToolRun asked =
      RunOnTerminal(2, {"create", F("kept.lza"), F("tree/*"), "--overwrite", "ask"}, "n\n");
  EXPECT_MATCH(asked.Out, "kept.lza\" already exists\\.");
  EXPECT_EQ(ReadText(F("kept.lza")), "older\n");
}

TEST_F(Cli, FlatExtractionKeepsTheFirstOfEntriesWithOneName) {
  fs::create_directories(F("dup/a"));
  fs::create_directories(F("dup/b"));
  // Long enough to be compressed at the highest level.
  std::string first;
  std::string second;
  for (int i = 0; i < 500; ++i) {
    first += "first\n";
    second += "second\n";
  }
  WriteText(F("dup/a/x.txt"), first);
  WriteText(F("dup/b/x.txt"), second);
  for (const std::string level : {"store", "max"}) {
    Run(0, {"create", F(level + ".lza"), F("dup/*"), "--recurse", "full", "--level", level, "-q"});
    // Off a terminal, and whatever the policy for existing files, the first
    // stays and the other is named; on every number of jobs.
    for (const std::string jobs : {"1", "4"}) {
      const std::string out = F("flat-" + level + "-" + jobs);
      const TToolRun run = Run(2, {"extract", F(level + ".lza"), out, "--flat", "--overwrite",
                                   "always", "--jobs", jobs});
      EXPECT_MATCH(run.Out, "1 file extracted");
      EXPECT_MATCH(run.Err, "^zorellz: [^\n]*" + level +
                                ".lza: entry x.txt has the name of an earlier entry; the first "
                                "was kept$");
      EXPECT_EQ(ReadText(out + "/x.txt"), first);
    }
    // A file that was there before is asked about once; the second entry
    // lands on the file that answer left.
    const std::string out = F("flat-" + level + "-older");
    fs::create_directories(out);
    WriteText(out + "/x.txt", "older\n");
    const TToolRun older = Run(2, {"extract", F(level + ".lza"), out, "--flat"});
    EXPECT_MATCH(older.Err, "x.txt: exists; kept");
    EXPECT_MATCH(older.Err, "entry x.txt has the name of an earlier entry");
    EXPECT_EQ(ReadText(out + "/x.txt"), "older\n");
    // On a terminal the second is asked about, unless --yes.
    const TToolRun asked =
        RunOnTerminal(0, {"extract", F(level + ".lza"), F("asked-" + level), "--flat"}, "y\n");
    EXPECT_MATCH(asked.Out, "x.txt\" was written from an earlier entry of the same name");
    EXPECT_EQ(ReadText(F("asked-" + level + "/x.txt")), second);
    const TToolRun yes =
        RunOnTerminal(2, {"extract", F(level + ".lza"), F("yes-" + level), "--flat", "--yes"}, "");
    EXPECT_NO_MATCH(yes.Out, "Replace it");
    EXPECT_EQ(ReadText(F("yes-" + level + "/x.txt")), first);
    // Left compressed, the later entries are not written at all.
    const std::string kept = F("unexpanded-" + level);
    EXPECT_MATCH(Run(2, {"extract", F(level + ".lza"), kept, "--flat", "--unexpanded"}).Err,
                 "entry x.txt has the name of an earlier entry; the first was kept$");
    if (level == "max") {
      EXPECT_EQ(Run(0, {"expand", kept + "/x.txt", "-c", "-q"}).Out, first);
    } else {
      EXPECT_EQ(ReadText(kept + "/x.txt"), first);
    }
  }
}

// ---- Damaged, protected, spanned archives; expand, sfx-extract, comment -------

TEST_F(Cli, DamagedEntriesLeaveTheOldFile) {
  Run(0, {"create", F("a.lza"), F("tree/*"), "--recurse", "full", "--level", "store", "--quiet"});
  // Entries in the order alice29.txt, empty.dat, sub\lcet10.txt,
  // sub\deeper\small.txt: 100 bytes before the end lies inside lcet10.txt.
  TBytes bytes = ReadFileBytes(F("a.lza"));
  bytes[bytes.size() - 100] ^= 0xFF;
  WriteFileBytes(F("a.lza"), bytes);
  const TToolRun test = Run(1, {"test", F("a.lza")});
  EXPECT_MATCH(test.Err, "^zorellz: .*a.lza: damaged entry sub/lcet10\\.txt$");
  EXPECT_MATCH(test.Out, "a.lza: 3 files sound");
  fs::create_directories(F("out/sub"));
  WriteText(F("out/sub/lcet10.txt"), "older\n");
  EXPECT_MATCH(Run(1, {"extract", F("a.lza"), F("out"), "--overwrite", "always"}).Err,
               "^zorellz: .*a.lza: entry sub/lcet10.txt is damaged .*2 files extracted before it$");
  EXPECT_EQ(ReadText(F("out/sub/lcet10.txt")), "older\n");
  for (const std::string& name : FilesUnder(F("out")))
    EXPECT_NE(fs::path(name).filename().string()[0], '.') << name;
  // Without the check the damaged bytes are written.
  Run(0, {"extract", F("a.lza"), F("out"), "--no-crc-check", "--overwrite", "always"});
  EXPECT_NE(ReadText(F("out/sub/lcet10.txt")), "older\n");
  // A cut archive: its directory promises data that are not there.
  bytes.resize(3000);
  WriteFileBytes(F("cut.lza"), bytes);
  EXPECT_MATCH(Run(1, {"extract", F("cut.lza"), F("cut")}).Err,
               "cut.lza: the archive's directory is damaged$");
}

TEST_F(Cli, EntryNamedAsTheArchiveIsSkipped) {
  fs::create_directories(F("src"));
  WriteText(F("src/pack.lza"), "not the archive\n");
  WriteText(F("src/other.txt"), "other\n");
  Run(0, {"create", F("pack.lza"), F("src/*"), "--quiet"});
  fs::copy_file(F("pack.lza"), F("pack.copy"));
  const TToolRun run = Run(0, {"extract", F("pack.lza"), F("."), "--yes"});
  EXPECT_MATCH(run.Err, "pack.lza: is the archive being read; its entry was skipped$");
  EXPECT_MATCH(run.Out, "pack.lza: 1 file extracted");
  EXPECT_TRUE(SameFile(F("pack.copy"), F("pack.lza")));
  EXPECT_TRUE(SameFile(F("src/other.txt"), F("other.txt")));
}

TEST_F(Cli, ExpandSingleCompressedFiles) {
  fs::create_directories(F("e"));
  fs::copy_file(kCorpus + "/alice29.txt", F("e/report.txt"));
  Run(0, {"compress", F("e/report.txt"), "--quiet"});
  fs::rename(F("e/report.txt"), F("original"));
  // Under the name stored in it, beside it.
  EXPECT_MATCH(Run(0, {"expand", F("e/report.tx~")}).Out,
               "report.txt: 1 file expanded, [0-9]+ -> 152089 bytes");
  EXPECT_TRUE(SameFile(F("original"), F("e/report.txt")));
  Run(0, {"expand", F("e/report.tx~"), F("e/copy.txt")});
  EXPECT_TRUE(SameFile(F("original"), F("e/copy.txt")));
  EXPECT_MATCH(Run(0, {"expand", F("e/report.tx~"), "--overwrite", "never"}).Err,
               "report.tx~: the file it expands to exists; kept$");
  // The name asked for, found under its compressed name.
  fs::remove(F("e/report.txt"));
  Run(0, {"expand", F("e/report.txt")});
  EXPECT_TRUE(SameFile(F("original"), F("e/report.txt")));
  EXPECT_MATCH(Run(1, {"expand", F("original")}).Err, "original: would be expanded over itself");
  // Cut short: no output appears.
  TBytes cut = ReadFileBytes(F("e/report.tx~"));
  cut.resize(2000);
  WriteFileBytes(F("e/cut.tx~"), cut);
  EXPECT_MATCH(Run(1, {"expand", F("e/cut.tx~"), F("e/cut.out")}).Err,
               "cut.tx~: compressed data end before their end code$");
  EXPECT_FALSE(fs::exists(F("e/cut.out")));
  for (const std::string& name : FilesUnder(F("e"))) EXPECT_NE(name[0], '.') << name;
}

TEST_F(Cli, SfxExtractCopiesTheAppendedArchive) {
  Run(0, {"create", F("SETUP.EXE"), F("tree/*"), "--recurse", "full", "--stub", kStub, "--quiet"});
  Run(0, {"create", F("setup.exe"), F("tree/*"), "--recurse", "full", "--stub", kStub, "--quiet"});
  EXPECT_MATCH(Run(0, {"sfx-extract", F("SETUP.EXE")}).Out,
               "SETUP.LZA: [0-9]+ bytes, the archive of .*SETUP.EXE$");
  EXPECT_EQ(Run(0, {"sfx-extract", F("setup.exe"), "-q"}).Out, "");
  EXPECT_TRUE(fs::exists(F("setup.lza")));
  EXPECT_MATCH(Run(0, {"list", F("SETUP.LZA")}).Out,
               "SETUP.LZA: 4 files, 2 folders, [0-9]+ -> [0-9]+ bytes \\([0-9]+% saved\\)$");
  Run(0, {"extract", F("SETUP.LZA"), F("out")});
  ExpectSameTree(F("tree"), F("out"));
  Run(0, {"extract", F("setup.exe"), F("out-sfx")});
  ExpectSameTree(F("tree"), F("out-sfx"));
  EXPECT_MATCH(Run(1, {"sfx-extract", F("SETUP.LZA")}).Err,
               "SETUP.LZA: is a plain archive already$");
  EXPECT_MATCH(Run(1, {"sfx-extract", F("setup.exe"), F("setup.exe")}).Err,
               "setup.exe: is the self-extracting file itself$");
}

TEST_F(Cli, ProtectedArchivesAndComments) {
  Run(0, {"create", F("p.lza"), F("tree/*"), "--recurse", "full", "--protect", "--quiet"});
  EXPECT_MATCH(Run(0, {"list", F("p.lza")}).Out, "p.lza: .*; protected$");
  Run(0, {"test", F("p.lza")});
  EXPECT_MATCH(Run(1, {"extract", F("p.lza"), F("out")}).Err, "p.lza: is protected");
  EXPECT_FALSE(fs::exists(F("out")));
  Run(0, {"extract", F("p.lza"), F("out"), "--accept-protected"});
  ExpectSameTree(F("tree"), F("out"));
  Run(0, {"create", F("a.lza"), F("tree/*"), "--quiet"});
  EXPECT_MATCH(Run(0, {"comment", F("a.lza"), F("c")}).Out, "a.lza: no comment$");
  EXPECT_MATCH(Run(1, {"comment", F("tree/alice29.txt")}).Err, "alice29.txt: not an archive");
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The 16-byte span block: signature 03 04 02 0A, part count, part number,
// header offset, archive bytes in the part.
std::string SpanBlock(int parts, int part, std::uint32_t offset, std::uint32_t bytes) {
  std::string block = "\x03\x04\x02\x0a";
  PutLe(block, parts, 2);
  PutLe(block, part, 2);
  PutLe(block, offset, 4);
  PutLe(block, bytes, 4);
  return block;
}

// A String[12] with zero filler.
std::string NameField(const std::string& name) {
  return static_cast<char>(name.size()) + name + std::string(12 - name.size(), '\0');
}

// Cuts the plain archive into parts of at most `chunk` bytes of data each,
// part 1 named `part1` (the others take the part number as extension), as
// the writing side lays them out: each part ends with a part trailer, and
// the header in part 1 carries the part count, the span block of part 1 and
// the name.
void SplitArchive(const std::string& archive, const std::string& part1, std::size_t chunk) {
  const std::string whole = ReadText(archive);
  const std::size_t size = whole.size();
  const int parts = static_cast<int>((size + chunk - 1) / chunk);
  const std::string name = fs::path(part1).filename().string();
  const std::size_t trailer_at = size - 83;
  std::string spanned = whole;
  std::string count;
  PutLe(count, parts, 4);
  spanned.replace(19, 4, count);
  spanned.replace(43, 16, SpanBlock(parts, 1, 0, static_cast<std::uint32_t>(trailer_at)));
  spanned.replace(43 + 70, 13, NameField(name));
  for (int part = 1; part <= parts; ++part) {
    const std::size_t begin = (part - 1) * chunk;
    const std::size_t end = std::min(begin + chunk, size);
    std::string file = part1;
    if (part > 1)
      file = (fs::path(part1).parent_path() / fs::path(part1).stem()).string() + "." +
             std::to_string(part);
    WriteText(file, spanned.substr(begin, end - begin) +
                        SpanBlock(parts, part, 0, static_cast<std::uint32_t>(end - begin)) +
                        whole.substr(trailer_at + 16, 54) + NameField(name));
  }
}

TEST_F(Cli, SpannedArchivesAreJoinedOrTheMissingPartNamed) {
  Run(0, {"create", F("a.lza"), F("tree/*"), "--recurse", "full", "--level", "store", "--quiet"});
  SplitArchive(F("a.lza"), F("DATA.LZA"), 200000);
  Run(0, {"extract", F("DATA.LZA"), F("out")});
  ExpectSameTree(F("tree"), F("out"));
  EXPECT_MATCH(Run(0, {"test", F("DATA.LZA")}).Out, "DATA.LZA: 4 files sound");
  // Part 1 holds the whole directory.
  EXPECT_MATCH(Run(0, {"list", F("DATA.LZA")}).Out,
               "DATA.LZA: 4 files, 2 folders, .*; part 1 of 3 parts$");
  // The last part missing: named, and nothing is extracted.
  fs::rename(F("DATA.3"), F("DATA.3.away"));
  EXPECT_MATCH(Run(1, {"extract", F("DATA.LZA"), F("out-missing"), "--yes"}).Err,
               "^zorellz: .*DATA.3: missing \\(part 3 of 3 of the spanned archive\\)$");
  EXPECT_TRUE(FilesUnder(F("out-missing")).empty());
  // Part 2 where part 3 belongs.
  fs::copy_file(F("DATA.2"), F("DATA.3"));
  EXPECT_MATCH(Run(1, {"extract", F("DATA.LZA"), F("out-wrong")}).Err,
               "^zorellz: .*DATA.3: is not part 3 of 3 of the spanned archive$");
  ExpectNoWorkFiles();
}

}  // namespace
}  // namespace zorellz::test
