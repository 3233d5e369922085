// TKolvaneMessageDlg: shows a message in a modal dialog sized to it, with the
// system icon of its kind, the message word-wrapped to at most half the screen
// width and a row of TOffice97Buttons, and returns the modal result of the
// button pressed.  The dialog behaves as a platform dialog: Enter presses the
// focused button or else the default one, Escape only a button that carries the
// cancel flag, "&" in a caption marks its accelerator, and the close box ends
// the dialog with kModalResultCancel.  The message itself is shown literally.
//
// Test seams (they change nothing while unset):
// - BuildMessageForm gives the form without showing it; its children are named
//   "Image", "Message" and after the buttons ("Yes", "NoToAll", ...).
// - SetMessageFormShownHook: called with the form once it is shown modally,
//   from inside its event loop, so that a test can answer it with real key and
//   mouse events.  The dialog ends when one of them ends it.
// - SetMessageRecorder: sees every message ExecutePos is asked to show; when
//   it returns a value, ExecutePos returns that value without showing anything.
// - ResetButtonWidthsForTesting: forgets the caption widths measured so far.
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "ui/MessageKinds.h"
#include "ui/MessageMetrics.h"
#include "ui/UiColor.h"

namespace tessaline {

// The dialog form: one message, one row of buttons, lives for one call.
class TMessageForm : public QDialog {
  Q_OBJECT

 public:
  // Takes the font the platform gives message boxes (on platforms without one,
  // the application's font).
  explicit TMessageForm(QWidget* owner = nullptr);

  int HelpContext() const { return help_context_; }
  void SetHelpContext(int help_context) { help_context_ = help_context; }
  QString HelpFile() const { return help_file_; }
  void SetHelpFile(const QString& help_file) { help_file_ = help_file; }

  // Asks the application for the help topic of HelpContext (see
  // SetHelpRequestHandler); the dialog stays open.
  void HelpButtonClick();

 public slots:
  // Closing without a button (the close box) gives kModalResultCancel.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int help_context_ = 0;
  QString help_file_;
};

// Builds the form for `message` without showing it, placed in the middle of the
// primary screen.  `background` is the form's colour.
std::unique_ptr<TMessageForm> BuildMessageForm(const QString& message, TMessageKind kind,
                                               TMessageButtons buttons, TColor background);

class TKolvaneMessageDlg : public QObject {
  Q_OBJECT

 public:
  explicit TKolvaneMessageDlg(QObject* owner = nullptr);

  // ExecutePos centred on the screen, without a help file.
  int Execute(const QString& message, TMessageKind kind, TMessageButtons buttons, int help_context,
              TColor background);
  // Shows the form modally with its left edge at x when x >= 0 and its top
  // edge at y when y >= 0 (centred otherwise), and returns the modal result.
  // The form is gone when this returns, whichever way it returns.
  int ExecutePos(const QString& message, TMessageKind kind, TMessageButtons buttons,
                 int help_context, int x, int y, const QString& help_file, TColor background);
};

// What the application asks of the help system; none is installed at start,
// and without one the Help button does nothing.
using THelpRequestHandler = std::function<void(int help_context, const QString& help_file)>;
void SetHelpRequestHandler(THelpRequestHandler handler);

// Caption widths measured so far, by button ordinal (0: not yet measured).
// Each is measured with the font of the first dialog that shows the button.
const TButtonWidths& MeasuredButtonWidths();
void ResetButtonWidthsForTesting();

struct TMessageRecord {
  QString message;
  TMessageKind kind = TMessageKind::Information;
  TMessageButtons buttons;
  int help_context = 0;
  int x = -1;
  int y = -1;
  QString help_file;
  TColor background = 0;
};

// An empty function removes the hook or recorder.
using TMessageFormShownHook = std::function<void(TMessageForm* form)>;
void SetMessageFormShownHook(TMessageFormShownHook hook);
using TMessageRecorder = std::function<std::optional<int>(const TMessageRecord& record)>;
void SetMessageRecorder(TMessageRecorder recorder);

}  // namespace tessaline
