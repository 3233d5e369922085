// Building the message form: font, colours, icon, message label and buttons,
// laid out by LayoutMessageForm.
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>

#include "ui/KolvaneMessageDlg.h"
#include "ui/OffBtn.h"

namespace tessaline {
namespace {

constexpr int kMessageFontPointSize = 10;
// The orange of the application's titles.
constexpr TColor kButtonFontColor = 0x0065FF;

// How the message is measured and drawn: taken literally (an "&" in a file
// name is shown, not taken for an accelerator), tabs expanded, broken between
// words.  Measuring and drawing share these flags so that the label's size is
// exactly what its text needs.
constexpr int kMessageTextFlags = Qt::TextWordWrap | Qt::TextExpandTabs;

class TFontMeasurer : public TTextMeasurer {
 public:
  explicit TFontMeasurer(const QFont& font) : metrics_(font) {}

  QSize MeasureLine(const QString& text) const override {
    return metrics_.size(Qt::TextSingleLine | Qt::TextShowMnemonic, text);
  }
  QSize MeasureWrapped(const QString& text, int width) const override {
    constexpr int kUnboundedHeight = 1 << 20;
    return metrics_.boundingRect(QRect(0, 0, width, kUnboundedHeight), kMessageTextFlags, text)
        .size();
  }

 private:
  QFontMetrics metrics_;
};

// A label that draws its text with the flags it was measured with.
class TMessageLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const int alignment = layoutDirection() == Qt::RightToLeft ? Qt::AlignRight : Qt::AlignLeft;
    painter.drawText(contentsRect(), kMessageTextFlags | alignment | Qt::AlignTop, text());
  }
};

TButtonWidths& ButtonWidths() {
  static TButtonWidths widths{};
  return widths;
}

THelpRequestHandler& HelpRequestHandler() {
  static THelpRequestHandler handler;
  return handler;
}

QRect PrimaryScreenGeometry() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 640, 480);
}

QStyle::StandardPixmap IconOf(TMessageKind kind) {
  switch (kind) {
    case TMessageKind::Warning:
      return QStyle::SP_MessageBoxWarning;
    case TMessageKind::Error:
      return QStyle::SP_MessageBoxCritical;
    case TMessageKind::Information:
      return QStyle::SP_MessageBoxInformation;
    case TMessageKind::Confirmation:
    case TMessageKind::Custom:
      break;
  }
  return QStyle::SP_MessageBoxQuestion;
}

QFont WithPointSize(QFont font, int points) {
  font.setPointSize(points);
  return font;
}

void PrepareForm(TMessageForm& form, TColor background) {
  form.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                      Qt::MSWindowsFixedSizeDialogHint);
  form.setLayoutDirection(QGuiApplication::layoutDirection());
  form.setFont(WithPointSize(form.font(), kMessageFontPointSize));
  QPalette palette = form.palette();
  palette.setColor(QPalette::Window, ToQColor(background));
  form.setPalette(palette);
  form.setAutoFillBackground(true);
}

void AddIcon(TMessageForm& form, TMessageKind kind, const QRect& bounds) {
  auto* image = new QLabel(&form);
  image->setObjectName(QStringLiteral("Image"));
  const QIcon icon = form.style()->standardIcon(IconOf(kind), nullptr, &form);
  image->setPixmap(icon.pixmap(bounds.size()));
  image->setGeometry(bounds);
}

void AddMessage(TMessageForm& form, const QString& message, const QRect& bounds) {
  auto* label = new TMessageLabel(&form);
  label->setObjectName(QStringLiteral("Message"));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setText(message);
  label->setGeometry(bounds);
}

TOffice97Button* AddButton(TMessageForm& form, TMessageButton kind, const QRect& bounds) {
  auto* button = new TOffice97Button(&form);
  button->setObjectName(MessageButtonName(kind));
  button->SetFontColor(kButtonFontColor);
  button->setFont(WithPointSize(button->font(), kMessageFontPointSize));
  button->SetHoverFont(WithPointSize(button->HoverFont(), kMessageFontPointSize));
  button->SetTransparent(true);
  button->SetCaption(MessageButtonCaption(kind));
  button->SetModalResult(MessageButtonModalResult(kind));
  button->setGeometry(bounds);
  return button;
}

// Enter presses the focused button, so the default button starts with the
// focus; otherwise Enter would press whichever button comes first.
void AddButtons(TMessageForm& form, TMessageButtons buttons, const TMessageLayout& layout) {
  const std::optional<TMessageButton> default_button = DefaultMessageButton(buttons);
  const std::optional<TMessageButton> cancel_button = CancelMessageButton(buttons);
  for (TMessageButton kind : kAllMessageButtons) {
    if (!buttons.Contains(kind)) continue;
    TOffice97Button* button = AddButton(form, kind, layout.buttons[static_cast<std::size_t>(kind)]);
    button->SetDefault(kind == default_button);
    button->SetCancel(kind == cancel_button);
    if (kind == TMessageButton::Help) {
      button->OnClick = [&form](TOffice97Button*) { form.HelpButtonClick(); };
    }
    if (kind == default_button) button->setFocus();
  }
}

}  // namespace

TMessageForm::TMessageForm(QWidget* owner) : QDialog(owner) {
  // The platform theme's message-box font: on Windows it is the one of the
  // non-client metrics; elsewhere it falls back to the application's font.
  setFont(QApplication::font("QMessageBox"));
}

void TMessageForm::HelpButtonClick() {
  if (HelpRequestHandler()) HelpRequestHandler()(help_context_, help_file_);
}

void TMessageForm::reject() {
  done(kModalResultCancel);
}

void TMessageForm::keyPressEvent(QKeyEvent* event) {
  if (DispatchDialogKey(this, event)) {
    event->accept();
    return;
  }
  // No button took Enter or Escape: a platform dialog then does nothing,
  // where QDialog would close.
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
      event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

std::unique_ptr<TMessageForm> BuildMessageForm(const QString& message, TMessageKind kind,
                                               TMessageButtons buttons, TColor background) {
  auto form = std::make_unique<TMessageForm>();
  PrepareForm(*form, background);

  const QRect screen = PrimaryScreenGeometry();
  TMessageLayoutRequest request;
  request.message = message;
  request.has_icon = MessageKindHasIcon(kind);
  request.buttons = buttons;
  request.screen = screen.size();
  request.right_to_left = form->layoutDirection() == Qt::RightToLeft;
  const TMessageLayout layout =
      LayoutMessageForm(TFontMeasurer(form->font()), request, ButtonWidths());

  form->setFixedSize(layout.client);
  form->move(screen.topLeft() + layout.form_position);
  form->setWindowTitle(MessageKindCaption(kind));
  if (request.has_icon) AddIcon(*form, kind, layout.image);
  AddMessage(*form, message, layout.message);
  AddButtons(*form, buttons, layout);
  return form;
}

void SetHelpRequestHandler(THelpRequestHandler handler) {
  HelpRequestHandler() = std::move(handler);
}

const TButtonWidths& MeasuredButtonWidths() {
  return ButtonWidths();
}

void ResetButtonWidthsForTesting() {
  ButtonWidths() = TButtonWidths{};
}

}  // namespace tessaline
