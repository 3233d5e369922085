// tessaline-update: the update a user runs is this program with the update's
// archive appended.  Without arguments it runs the update (CommandLine.h has
// the options); the exit status tells how the run ended (see ExitStatusOf).
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/CommandLine.h"
#include "app/OrvLiteEnvironment.h"
#include "app/Unattended.h"
#include "app/UpdateInspection.h"
#include "app/UpdateLog.h"
#include "app/UpdateMessages.h"
#include "app/uMainDBDistribution.h"
#include "platform/System.h"
#include "platform/Termination.h"
#include "ui/AppStrings.h"
#include "ui/KolvaneMessageDlg.h"
#include "zorellz/platform/MessageBox.h"

namespace {

using tessaline::TMessageButton;
using tessaline::TMessageButtons;
using tessaline::TMessageKind;

constexpr int kBadCommandLine = 2;
constexpr int kTerminationPollMs = 100;

bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Without a display nobody can answer a window: the run is unattended and
// the window is drawn nowhere.  A platform chosen in the environment wins.
void ChooseModeAndPlatform(bool unattended_asked) {
  const bool headless = !HasDisplay();
  if (unattended_asked || headless) tessaline::SetUnattendedMode(true);
  if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
}

void PrintTo(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

QString ProgramName(char** argv) {
  return argv != nullptr && argv[0] != nullptr
             ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName()
             : QStringLiteral("tessaline-update");
}

// The arguments as the system gave them, before any application object.
QStringList ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

// The folders of the command line, in the log too: a run against a test
// sandbox must never pass for one against the host.
void ApplyFolderOverrides(const tessaline::TCommandLine& line) {
  tessaline::TFolderOverrides overrides;
  if (line.DataDir) {
    overrides.DataDirectory = line.DataDir->toStdString();
    tessaline::LogLine(QStringLiteral("data folder from --data-dir: ") + *line.DataDir);
  }
  if (line.HelpDir) {
    overrides.HelpDirectory = line.HelpDir->toStdString();
    tessaline::LogLine(QStringLiteral("help folder from --help-dir: ") + *line.HelpDir);
  }
  tessaline::SetFolderOverrides(std::move(overrides));
}

// --list and --check need no window.
int Inspect(int argc, char** argv, const tessaline::TCommandLine& line) {
  QCoreApplication application(argc, argv);
  const QString update = QString::fromStdString(zorellz::ExecutablePath().string());
  return line.List ? tessaline::ListUpdate(update) : tessaline::CheckUpdate(update);
}

TMessageButtons DialogButtons(zorellz::TMsgBoxButtons buttons) {
  switch (buttons) {
    case zorellz::TMsgBoxButtons::kYesNo:
      return {TMessageButton::Yes, TMessageButton::No};
    case zorellz::TMsgBoxButtons::kYesNoCancel:
      return {TMessageButton::Yes, TMessageButton::No, TMessageButton::Cancel};
    case zorellz::TMsgBoxButtons::kOk:
      break;
  }
  return {TMessageButton::OK};
}

TMessageKind DialogKind(zorellz::TMsgBoxIcon icon) {
  switch (icon) {
    case zorellz::TMsgBoxIcon::kInformation:
      return TMessageKind::Information;
    case zorellz::TMsgBoxIcon::kQuestion:
      return TMessageKind::Confirmation;
    case zorellz::TMsgBoxIcon::kWarning:
      return TMessageKind::Warning;
    case zorellz::TMsgBoxIcon::kError:
      return TMessageKind::Error;
    case zorellz::TMsgBoxIcon::kNone:
      break;
  }
  return TMessageKind::Custom;
}

int MessageBoxAnswer(int modal_result) {
  switch (modal_result) {
    case tessaline::kModalResultOk:
      return zorellz::kMbOk;
    case tessaline::kModalResultYes:
      return zorellz::kMbYes;
    case tessaline::kModalResultNo:
      return zorellz::kMbNo;
    default:
      return zorellz::kMbCancel;
  }
}

// The library's own questions (its default handlers) in the updater's dialog,
// so that they are seen, and printed when unattended.
void ShowLibraryMessagesInDialogs() {
  zorellz::SetMessageBoxHook([](const std::string& text, const std::string& /*caption*/,
                                zorellz::TMsgBoxButtons buttons, zorellz::TMsgBoxIcon icon) {
    tessaline::TKolvaneMessageDlg dialog;
    return MessageBoxAnswer(dialog.Execute(QString::fromStdString(text), DialogKind(icon),
                                           DialogButtons(buttons), 0, 0xFFFFFF));
  });
}

// A termination request that arrives while no run is changing files ends
// the program at once; during a run the run takes its changes back first.
void WatchForTermination(tessaline::TfrmDatabaseDist& window, bool& interrupted) {
  auto* poll = new QTimer(&window);
  QObject::connect(poll, &QTimer::timeout, &window, [&window, &interrupted] {
    const int request = zorellz::PendingTerminationRequest();
    // Once the run has started, it deals with the request itself.
    if (request == 0 || window.Outcome() != tessaline::TRunOutcome::kNotRun) return;
    const QString line = QStringLiteral("The update was stopped by %1 before it changed anything.")
                             .arg(QString::fromStdString(zorellz::TerminationRequestName(request)));
    tessaline::LogLine(line);
    PrintTo(stderr, QStringLiteral("Error: ") + line + QLatin1Char('\n'));
    interrupted = true;
    QCoreApplication::exit(1);
  });
  poll->start(kTerminationPollMs);
}

int RunUpdate(char** argv) {
  // Only the program's own name goes to Qt: the options are the updater's.
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  QApplication::setApplicationDisplayName(
      tessaline::AppString(tessaline::TAppString::kApplicationTitle));
  if (tessaline::UnattendedModeRequested()) tessaline::InstallUnattendedMessages();
  ShowLibraryMessagesInDialogs();

  bool interrupted = false;
  tessaline::TfrmDatabaseDist window;
  WatchForTermination(window, interrupted);
  window.show();
  QApplication::exec();
  const int status = interrupted ? 1 : tessaline::ExitStatusOf(window.Outcome());
  tessaline::LogLine(QStringLiteral("finished with exit status %1").arg(status));
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const QString program = ProgramName(argv);
  QString error;
  const std::optional<tessaline::TCommandLine> line =
      tessaline::ParseCommandLine(ArgumentsOf(argc, argv), error);
  if (!line) {
    PrintTo(stderr,
            QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, error));
    return kBadCommandLine;
  }
  if (line->Help) {
    PrintTo(stdout, tessaline::UsageText(program));
    return 0;
  }
  if (line->Version) {
    PrintTo(stdout, tessaline::VersionText());
    return 0;
  }
  tessaline::SetQuietMode(line->Quiet);
  if (!line->LogFile.isEmpty()) {
    const QString cause = tessaline::OpenUpdateLog(line->LogFile);
    if (!cause.isEmpty()) {
      PrintTo(stderr, QStringLiteral("%1: %2: %3\n").arg(program, line->LogFile, cause));
      return 1;
    }
  }
  if (line->List || line->Check) {
    ApplyFolderOverrides(*line);
    return Inspect(argc > 0 ? 1 : 0, argv, *line);
  }

  ChooseModeAndPlatform(line->Unattended);
  zorellz::CatchTerminationRequests();
  tessaline::LogLine(QStringLiteral("started %1 (%2)")
                         .arg(QString::fromStdString(zorellz::ExecutablePath().string()),
                              tessaline::UnattendedModeRequested() ? QStringLiteral("unattended")
                                                                   : QStringLiteral("window")));
  ApplyFolderOverrides(*line);
  return RunUpdate(argv);
}
