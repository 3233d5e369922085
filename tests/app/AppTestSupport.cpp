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
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_CONFIG_DIRS"),
                     QString::fromStdString(config_dir.string()));
  environment.insert(QStringLiteral("TESSALINE_UNATTENDED"), QStringLiteral("1"));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process.setProcessEnvironment(environment);
  TUpdateRun run;
  QElapsedTimer clock;
  clock.start();
  process.start(QString::fromStdString(update.string()), {});
  run.Finished = process.waitForFinished(timeout_ms);
  run.ElapsedMs = clock.elapsed();
  if (!run.Finished) {
    process.kill();
    process.waitForFinished();
  }
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  const QString out = QString::fromUtf8(process.readAllStandardOutput());
  for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    run.Messages.push_back(line.toStdString());
  }
  run.StdErr = process.readAllStandardError().toStdString();
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
