#include "app/Unattended.h"

#include <QByteArray>
#include <cstdio>

#include "platform/Console.h"
#include "ui/KolvaneMessageDlg.h"

namespace tessaline {
namespace {

bool unattended_mode = false;
bool quiet_mode = false;

QString KindName(TMessageKind kind) {
  switch (kind) {
    case TMessageKind::Warning:
      return QStringLiteral("Warning");
    case TMessageKind::Error:
      return QStringLiteral("Error");
    case TMessageKind::Information:
      return QStringLiteral("Information");
    case TMessageKind::Confirmation:
      return QStringLiteral("Confirmation");
    case TMessageKind::Custom:
      break;
  }
  return QStringLiteral("Custom");
}

// Every way a text can break a line, so that one message stays one line.
QString OnOneLine(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  for (const char16_t line_break : {u'\r', u'\n', u'\v', u'\f', u'\u0085', u'\u2028', u'\u2029'}) {
    text.replace(QChar(line_break), QLatin1Char(' '));
  }
  return text;
}

}  // namespace

bool UnattendedModeRequested() {
  return unattended_mode || qgetenv("TESSALINE_UNATTENDED") == "1";
}

void SetUnattendedMode(bool unattended) {
  unattended_mode = unattended;
}

void SetQuietMode(bool quiet) {
  quiet_mode = quiet;
}

bool QuietModeRequested() {
  return quiet_mode;
}

QString UnattendedMessageLine(TMessageKind kind, const QString& message) {
  return KindName(kind) + QStringLiteral(": ") + OnOneLine(message);
}

void InstallUnattendedMessages() {
  SetMessageRecorder([](const TMessageRecord& record) -> std::optional<int> {
    const bool error = record.kind == TMessageKind::Error;
    if (!error && quiet_mode) return kModalResultOk;
    ShowUnattendedProgress(0, 0, 0, true);
    const QByteArray line = UnattendedMessageLine(record.kind, record.message).toUtf8() + '\n';
    std::FILE* stream = error ? stderr : stdout;
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stream);
    std::fflush(stream);
    return kModalResultOk;
  });
}

void ShowUnattendedProgress(int file, int total, long long bytes, bool done) {
  static bool line_open = false;
  if (!UnattendedModeRequested() || quiet_mode || !zorellz::StandardErrorIsTerminal()) return;
  if (done) {
    if (line_open) std::fputs("\n", stderr);
    line_open = false;
    return;
  }
  std::fprintf(stderr, "\rfile %d of %d, %lld bytes", file, total, bytes);
  std::fflush(stderr);
  line_open = true;
}

}  // namespace tessaline
