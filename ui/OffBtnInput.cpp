// Mouse, keyboard and focus handling of TOffice97Button, and Click.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include "ui/OffBtn.h"

namespace tessaline {

namespace {

constexpr Qt::KeyboardModifiers kShiftKeys =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool IsEnterOrSpace(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

// The letter after a single '&' in `caption` ("&&" is a literal '&').
QChar AcceleratorOf(const QString& caption) {
  for (int i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != QLatin1Char('&')) continue;
    if (caption[i + 1] != QLatin1Char('&')) return caption[i + 1];
    ++i;
  }
  return QChar();
}

// The character a key press offers as an accelerator: typed plainly or
// with Alt, never with Ctrl.
QChar AcceleratorChar(const QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return QChar();
  const QString text = event->text();
  if (!text.isEmpty() && text[0].isPrint()) return text[0];
  const int key = event->key();
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
    return QChar(key);
  }
  return QChar();
}

// Lets queued paints and input run; false when that destroyed `button`.
bool ProcessPendingEvents(const QPointer<TOffice97Button>& button) {
  QCoreApplication::processEvents();
  return !button.isNull();
}

}  // namespace

bool TOffice97Button::IsUnderPointer(const QPoint& localPos) const {
  if (!rect().contains(localPos)) return false;
  QWidget* top = window();
  if (top == this) return true;
  // Disabled controls count: one lying on top hides the button.
  return top->childAt(mapTo(top, localPos)) == this;
}

void TOffice97Button::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    if (window()->focusWidget() != this) {
      setFocus(Qt::MouseFocusReason);
      // A control that keeps the focus on leaving vetoes the press.
      if (window()->focusWidget() != this) return;
    }
    mouseClicked_ = true;
    if (IsUnderPointer(pos)) SetButtonState(kStatePressed);
  } else if (event->button() == Qt::RightButton && IsUnderPointer(pos) &&
             (contextMenuPolicy() == Qt::ActionsContextMenu ||
              contextMenuPolicy() == Qt::CustomContextMenu)) {
    SetButtonState(kStateNormal);
  }
}

void TOffice97Button::mouseMoveEvent(QMouseEvent* event) {
  const bool over = IsUnderPointer(event->position().toPoint());
  switch (buttonState_) {
    case kStatePressed:
      if (!over) SetButtonState(kStatePressedOff);
      break;
    case kStatePressedOff:
      if (over) SetButtonState(kStatePressed);
      break;
    case kStateNormal:
      if (over) BecomeHot();
      break;
    case kStateHot:
      if (!over) LeaveHot();
      break;
  }
}

void TOffice97Button::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const bool clicked = mouseClicked_;
  mouseClicked_ = false;
  SetButtonState(kStateNormal);
  if (clicked && rect().contains(event->position().toPoint())) Click();
}

// Enter and leave only move between normal and hot: while the left button
// is held the pressed states follow the pointer through mouseMoveEvent.
void TOffice97Button::enterEvent(QEnterEvent* event) {
  if (isEnabled() && buttonState_ == kStateNormal) BecomeHot();
  QWidget::enterEvent(event);
}

void TOffice97Button::leaveEvent(QEvent* event) {
  if (buttonState_ == kStateHot) LeaveHot();
  QWidget::leaveEvent(event);
}

void TOffice97Button::BecomeHot() {
  SetButtonState(kStateHot);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TOffice97Button::LeaveHot() {
  SetButtonState(kStateNormal);
  if (OnMouseExit) OnMouseExit(this);
}

void TOffice97Button::keyPressEvent(QKeyEvent* event) {
  if (IsEnterOrSpace(event->key()) && isActive_) {
    KeyboardClick();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);  // ignored: the form may take it as a dialog key
}

void TOffice97Button::focusInEvent(QFocusEvent* event) {
  buttonState_ = kStateNormal;
  isActive_ = true;
  update();
  QWidget::focusInEvent(event);
}

void TOffice97Button::focusOutEvent(QFocusEvent* event) {
  buttonState_ = kStateNormal;
  isActive_ = false;
  update();
  QWidget::focusOutEvent(event);
}

bool TOffice97Button::CanFocus() const {
  return isVisible() && isEnabled();
}

bool TOffice97Button::DialogKey(int key, Qt::KeyboardModifiers modifiers) {
  if (key == Qt::Key_F4 && (modifiers & Qt::AltModifier)) {
    SetButtonState(kStateNormal);
    return false;
  }
  const bool pressesButton =
      (IsEnterOrSpace(key) && isActive_) || (key == Qt::Key_Escape && cancel_);
  if (!pressesButton || (modifiers & kShiftKeys) || !CanFocus()) return false;
  KeyboardClick();
  return true;
}

bool TOffice97Button::DialogChar(QChar ch) {
  const QChar accelerator = AcceleratorOf(caption_);
  if (accelerator.isNull() || accelerator.toUpper() != ch.toUpper() || !CanFocus()) return false;
  KeyboardClick();
  return true;
}

void TOffice97Button::KeyboardClick() {
  keyboardClick_ = true;
  Click();
}

void TOffice97Button::Click() {
  const QPointer<TOffice97Button> self(this);
  const int remembered = buttonState_;
  const bool keyboard = keyboardClick_;
  if (keyboard && buttonState_ != kStatePressed) {
    // Show the pressed face before the click takes effect.
    buttonState_ = kStatePressed;
    repaint();
    if (!ProcessPendingEvents(self)) return;
  }
  ResetSiblingButtons();
  SetFormModalResult();
  if (keyboard || buttonState_ != remembered) {
    buttonState_ = remembered;
    repaint();
    if (!ProcessPendingEvents(self)) return;
  }
  keyboardClick_ = false;
  DoClick();
}

void TOffice97Button::ResetSiblingButtons() {
  for (TOffice97Button* button : window()->findChildren<TOffice97Button*>()) {
    if (button == this) continue;
    button->buttonState_ = kStateNormal;
    button->update();
  }
}

void TOffice97Button::SetFormModalResult() {
  // A modal result of 0 (Help) leaves the form open.
  auto* dialog = qobject_cast<QDialog*>(window());
  if (dialog && modalResult_ != 0) dialog->done(modalResult_);
}

void TOffice97Button::DoClick() {
  if (OnClick) {
    OnClick(this);
  } else if (action_) {
    action_->trigger();
  }
}

bool DispatchDialogKey(QWidget* form, QKeyEvent* event) {
  if (!form || !event) return false;
  const QList<TOffice97Button*> buttons = form->findChildren<TOffice97Button*>();
  for (TOffice97Button* button : buttons) {
    if (button->DialogKey(event->key(), event->modifiers())) return true;
  }
  const QChar ch = AcceleratorChar(event);
  if (ch.isNull()) return false;
  for (TOffice97Button* button : buttons) {
    if (button->DialogChar(ch)) return true;
  }
  return false;
}

}  // namespace tessaline
