#include "ui/KolvaneMessageDlg.h"

#include <QEventLoop>
#include <QTimer>
#include <utility>

namespace tessaline {
namespace {

TMessageFormShownHook& ShownHook() {
  static TMessageFormShownHook hook;
  return hook;
}

TMessageRecorder& Recorder() {
  static TMessageRecorder recorder;
  return recorder;
}

// The form arrives centred; a non-negative coordinate moves that edge.
void PlaceForm(TMessageForm& form, int x, int y) {
  if (x >= 0) form.move(x, form.y());
  if (y >= 0) form.move(form.x(), y);
}

// QDialog::exec with a loop of our own: QDialog keeps a pointer to the loop
// of its exec, which an exception leaving that loop leaves dangling, so that
// freeing the form would then crash.  Here the form never knows the loop.
int RunModal(TMessageForm& form) {
  QEventLoop loop;
  QObject::connect(&form, &QDialog::finished, &loop, &QEventLoop::quit);
  form.setWindowModality(Qt::ApplicationModal);
  form.show();
  if (form.isVisible()) loop.exec(QEventLoop::DialogExec);
  return form.result();
}

}  // namespace

TKolvaneMessageDlg::TKolvaneMessageDlg(QObject* owner) : QObject(owner) {}

int TKolvaneMessageDlg::Execute(const QString& message, TMessageKind kind, TMessageButtons buttons,
                                int help_context, TColor background) {
  return ExecutePos(message, kind, buttons, help_context, -1, -1, QString(), background);
}

int TKolvaneMessageDlg::ExecutePos(const QString& message, TMessageKind kind,
                                   TMessageButtons buttons, int help_context, int x, int y,
                                   const QString& help_file, TColor background) {
  if (Recorder()) {
    const TMessageRecord record{message, kind, buttons, help_context, x, y, help_file, background};
    if (const std::optional<int> answer = Recorder()(record)) return *answer;
  }
  const std::unique_ptr<TMessageForm> form = BuildMessageForm(message, kind, buttons, background);
  form->SetHelpContext(help_context);
  form->SetHelpFile(help_file);
  PlaceForm(*form, x, y);
  if (ShownHook()) {
    // Runs from the modal loop, once the form is on screen.
    QTimer::singleShot(0, form.get(), [form = form.get(), hook = ShownHook()] { hook(form); });
  }
  return RunModal(*form);
}

void SetMessageFormShownHook(TMessageFormShownHook hook) {
  ShownHook() = std::move(hook);
}

void SetMessageRecorder(TMessageRecorder recorder) {
  Recorder() = std::move(recorder);
}

}  // namespace tessaline
