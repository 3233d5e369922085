#include "app/UpdateLog.h"

#include <QDateTime>
#include <QFile>
#include <memory>

namespace tessaline {

namespace {

std::unique_ptr<QFile>& LogFile() {
  static std::unique_ptr<QFile> file;
  return file;
}

// A line break inside a text would read as a second entry.
QString OnOneLine(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

}  // namespace

QString OpenUpdateLog(const QString& file) {
  auto log = std::make_unique<QFile>(file);
  if (!log->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
    return log->errorString();
  }
  LogFile() = std::move(log);
  return QString();
}

void CloseUpdateLog() {
  LogFile().reset();
}

void LogLine(const QString& text) {
  QFile* log = LogFile().get();
  if (log == nullptr) return;
  const QString stamp = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
  log->write((stamp + QLatin1Char(' ') + OnOneLine(text) + QLatin1Char('\n')).toUtf8());
  log->flush();
}

}  // namespace tessaline
