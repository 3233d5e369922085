#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QString>
#include <fstream>
#include <sstream>

namespace tessaline::test {

namespace fs = std::filesystem;

void WriteHostSettings(const fs::path& config_dir,
                       const std::map<std::string, std::string>& values) {
  fs::create_directories(config_dir / "Orv");
  const QString file = QString::fromStdString((config_dir / "Orv" / "Tessaline.conf").string());
  QSettings settings(file, QSettings::IniFormat);
  settings.clear();
  for (const auto& [name, value] : values) {
    settings.setValue(QString::fromStdString(name), QString::fromStdString(value));
  }
  settings.sync();
  ASSERT_EQ(settings.status(), QSettings::NoError) << file.toStdString();
}

void UseConfigDir(const fs::path& config_dir) {
  qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(config_dir.string()));
}

bool BuildUpdate(const fs::path& folder, const fs::path& update) {
  QProcess tool;
  tool.start(
      QStringLiteral(ZORELLZ_TOOL),
      {QStringLiteral("create"), QStringLiteral("--stub"), QStringLiteral(TESSALINE_UPDATE_PROGRAM),
       QString::fromStdString(update.string()), QString::fromStdString((folder / "*").string()),
       QStringLiteral("--recurse"), QStringLiteral("full"), QStringLiteral("--quiet")});
  const bool finished = tool.waitForFinished(60000);
  EXPECT_TRUE(finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
      << "zorellz create failed: " << tool.readAllStandardError().toStdString();
  return finished && tool.exitCode() == 0;
}

TUpdateRun RunUpdate(const fs::path& update, const fs::path& config_dir, int timeout_ms) {
  TRunOptions options;
  options.TimeoutMs = timeout_ms;
  return RunUpdate(update, config_dir, options);
}

namespace {

bool IsMessageLine(const QString& line) {
  for (const char* kind : {"Error: ", "Warning: ", "Information: ", "Confirmation: ", "Custom: "}) {
    if (line.startsWith(QLatin1String(kind))) return true;
  }
  return false;
}

QProcessEnvironment RunEnvironment(const fs::path& config_dir, const TRunOptions& options) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_CONFIG_DIRS"),
                     QString::fromStdString(config_dir.string()));
  if (options.UnattendedEnvironment) {
    environment.insert(QStringLiteral("TESSALINE_UNATTENDED"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  } else {
    for (const char* name :
         {"TESSALINE_UNATTENDED", "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
      environment.remove(QString::fromLatin1(name));
    }
  }
  for (const std::string& entry : options.Environment) {
    const QString text = QString::fromStdString(entry);
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    environment.insert(text.left(equals), text.mid(equals + 1));
  }
  return environment;
}

}  // namespace

// Sorts the lines of one stream into messages and other output.
void SortLines(const QByteArray& bytes, std::vector<std::string>& messages, std::string& other) {
  for (const QString& line :
       QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    if (IsMessageLine(line)) {
      messages.push_back(line.toStdString());
    } else {
      other += line.toStdString() + "\n";
    }
  }
}

TUpdateRun RunUpdate(const fs::path& update, const fs::path& config_dir,
                     const TRunOptions& options) {
  QProcess process;
  process.setProcessEnvironment(RunEnvironment(config_dir, options));
  QStringList arguments;
  for (const std::string& argument : options.Arguments) {
    arguments << QString::fromStdString(argument);
  }
  TUpdateRun run;
  QElapsedTimer clock;
  clock.start();
  process.start(QString::fromStdString(update.string()), arguments);
  run.Finished = process.waitForFinished(options.TimeoutMs);
  run.ElapsedMs = clock.elapsed();
  if (!run.Finished) {
    process.kill();
    process.waitForFinished();
  }
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  if (process.exitStatus() != QProcess::NormalExit) run.Signal = process.exitCode();
  SortLines(process.readAllStandardOutput(), run.Messages, run.StdOut);
  SortLines(process.readAllStandardError(), run.ErrorMessages, run.StdErr);
  run.Messages.insert(run.Messages.end(), run.ErrorMessages.begin(), run.ErrorMessages.end());
  return run;
}

void WriteTextFile(const fs::path& path, const std::string& text) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << path;
}

std::string ReadTextFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::map<std::string, std::string> FolderContents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  if (!fs::is_directory(folder)) return contents;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string relative = fs::relative(entry.path(), folder).generic_string();
    contents[relative + (entry.is_directory() ? "/" : "")] =
        entry.is_regular_file() ? ReadTextFile(entry.path()) : std::string();
  }
  return contents;
}

}  // namespace tessaline::test
