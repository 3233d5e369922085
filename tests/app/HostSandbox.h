// A sandbox host for the updater's process tests: settings, a data folder,
// a help folder and an update, all in one scratch folder; and the small
// helpers those tests share.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/app/AppTestSupport.h"

namespace tessaline::test {

namespace fs = std::filesystem;
using zorellz::test::RandomBytes;
using zorellz::test::TextOf;
using zorellz::test::TScratchDir;
using TFiles = std::map<std::string, std::string>;

inline constexpr char kCompleted[] = "Confirmation: The Tessaline Update has completed.";
inline constexpr char kNoDataFolder[] =
    "Information: The Tessaline Data Folder could not be located.";
inline constexpr char kNotCompleted[] =
    "Error: The Database Distribution Package could not complete.";

inline bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

inline std::string Describe(const TUpdateRun& run) {
  std::string text = "exit " + std::to_string(run.ExitCode) + ", messages:";
  for (const std::string& message : run.Messages) text += "\n  " + message;
  return text + "\nstdout: " + run.StdOut + "\nstderr: " + run.StdErr;
}

// Binary content that differs by `seed`, so that old and new files differ.
inline std::string Content(unsigned seed, std::size_t size = 3000) {
  return TextOf(RandomBytes(size, seed));
}

// A host (settings, data folder, help folder) and an update, all in one
// scratch folder.
class THost {
 public:
  THost() {
    fs::create_directories(Data());
    fs::create_directories(Help());
  }

  fs::path Root() const { return scratch_.Path(); }
  fs::path Config() const { return Root() / "xdg"; }
  fs::path Data() const { return Root() / "host" / "data"; }
  fs::path Help() const { return Root() / "host" / "help"; }
  fs::path Payload() const { return Root() / "payload"; }
  fs::path Update() const { return Root() / "update"; }
  // The full path of `name` in the data folder, as messages give it.
  std::string InData(const std::string& name) const { return Data().string() + "/" + name; }

  void WriteSettings() const {
    WriteHostSettings(Config(),
                      {{"DataDirectory", Data().string()}, {"HelpDirectory", Help().string()}});
  }
  void AddToUpdate(const std::string& name, const std::string& text) const {
    WriteTextFile(Payload() / name, text);
  }
  void AddToData(const std::string& name, const std::string& text) const {
    WriteTextFile(Data() / name, text);
  }
  void AddToHelp(const std::string& name, const std::string& text) const {
    WriteTextFile(Help() / name, text);
  }

  // The update of every file added to it, with `options` (such as a level)
  // passed on to the tool.
  bool BuildUpdateOfPayload(const QStringList& options = {}) const {
    return options.isEmpty() ? BuildUpdate(Payload(), Update()) : BuildWithOptions(options);
  }

  TUpdateRun Run() const { return RunUpdate(Update(), Config()); }
  TUpdateRun Run(const TRunOptions& options) const {
    return RunUpdate(Update(), Config(), options);
  }

 private:
  bool BuildWithOptions(const QStringList& options) const {
    QProcess tool;
    QStringList arguments = {QStringLiteral("create"),
                             QStringLiteral("--stub"),
                             QStringLiteral(TESSALINE_UPDATE_PROGRAM),
                             QString::fromStdString(Update().string()),
                             QString::fromStdString((Payload() / "*").string()),
                             QStringLiteral("--recurse"),
                             QStringLiteral("full"),
                             QStringLiteral("--quiet")};
    tool.start(QStringLiteral(ZORELLZ_TOOL), arguments + options);
    const bool done = tool.waitForFinished(60000) && tool.exitCode() == 0;
    EXPECT_TRUE(done) << tool.readAllStandardError().toStdString();
    return done;
  }

  TScratchDir scratch_;
};

// Another process that holds `file` open (as its standard input) for as long
// as the object lives.
class THeldOpen {
 public:
  explicit THeldOpen(const fs::path& file) {
    holder_.setStandardInputFile(QString::fromStdString(file.string()));
    holder_.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    started_ = holder_.waitForStarted(10000);
  }
  ~THeldOpen() {
    holder_.kill();
    holder_.waitForFinished(10000);
  }
  bool Started() const { return started_; }

 private:
  QProcess holder_;
  bool started_ = false;
};

}  // namespace tessaline::test
