#include "app/Unattended.h"

#include <QByteArray>
#include <cstdio>

#include "ui/KolvaneMessageDlg.h"

namespace tessaline {
namespace {

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
  return qgetenv("TESSALINE_UNATTENDED") == "1";
}

QString UnattendedMessageLine(TMessageKind kind, const QString& message) {
  return KindName(kind) + QStringLiteral(": ") + OnOneLine(message);
}

void InstallUnattendedMessages() {
  SetMessageRecorder([](const TMessageRecord& record) -> std::optional<int> {
    const QByteArray line = UnattendedMessageLine(record.kind, record.message).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
    return kModalResultOk;
  });
}

}  // namespace tessaline
