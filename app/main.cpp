// tessaline-update: the update a user runs is this program with the update's
// archive appended.  It takes no command line; the exit status tells how the
// run ended (see ExitStatusOf).
#include <QApplication>
#include <QString>
#include <string>

#include "app/Unattended.h"
#include "app/uMainDBDistribution.h"
#include "platform/MessageBox.h"
#include "ui/AppStrings.h"
#include "ui/KolvaneMessageDlg.h"

namespace {

using tessaline::TMessageButton;
using tessaline::TMessageButtons;
using tessaline::TMessageKind;

// Unattended on a machine without a display, the window is drawn nowhere.
void ChooseOffscreenWithoutDisplay() {
  if (!tessaline::UnattendedModeRequested()) return;
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
  if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    return;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
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

}  // namespace

int main(int argc, char** argv) {
  ChooseOffscreenWithoutDisplay();
  // Only the program's own name goes to Qt: the updater takes no arguments.
  int qt_argc = argc > 0 ? 1 : 0;
  QApplication application(qt_argc, argv);
  QApplication::setApplicationDisplayName(
      tessaline::AppString(tessaline::TAppString::kApplicationTitle));
  if (tessaline::UnattendedModeRequested()) tessaline::InstallUnattendedMessages();
  ShowLibraryMessagesInDialogs();

  tessaline::TfrmDatabaseDist window;
  window.show();
  QApplication::exec();
  return tessaline::ExitStatusOf(window.Outcome());
}
