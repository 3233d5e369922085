// TOffice97Button: an owner-drawn push button.  It paints a flat face, the
// caption (word-wrapped), an optional image and a frame that is raised while
// the pointer is over it and sunken while it is pressed, in one of two looks.
// Radio, up, down and hint variants draw image and caption without a frame.
// It behaves as a dialog button for focus, Default/Cancel and modal results:
// a form offers it the keys its focused control did not take through
// DispatchDialogKey, and Click ends a QDialog with ModalResult (0 never ends it).
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui/OffBtnImages.h"
#include "ui/OffBtnTypes.h"
#include "ui/UiColor.h"

class QAction;
class QKeyEvent;

namespace tessaline {

struct TButtonLayout;
struct TWrappedCaption;
class TCaptionMeasurer;

class TOffice97Button : public QWidget {
  Q_OBJECT

 public:
  explicit TOffice97Button(QWidget* owner = nullptr);
  ~TOffice97Button() override;

  using TNotifyEvent = std::function<void(TOffice97Button* sender)>;

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int modalResult) { modalResult_ = modalResult; }
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }

  // Setting abAbout shows the about box; the value then returns to abNone.
  TOffBtnAbout About() const { return TOffBtnAbout::abNone; }
  void SetAbout(TOffBtnAbout value);

  TColor ActiveColor() const { return activeColor_; }
  void SetActiveColor(TColor color);
  TColor ActiveOutlineColor() const { return activeOutlineColor_; }
  void SetActiveOutlineColor(TColor color);
  TColor ActiveOutlineColor2() const { return activeOutlineColor2_; }
  void SetActiveOutlineColor2(TColor color);
  TColor InactiveColor() const { return inactiveColor_; }
  void SetInactiveColor(TColor color);
  TColor Color() const { return color_; }  // face colour
  void SetColor(TColor color);

  TOffBtnType ControlType() const { return controlType_; }
  void SetControlType(TOffBtnType type);
  TGlyphPosition Position() const { return position_; }
  void SetPosition(TGlyphPosition position);
  bool ShowGlyph() const { return showGlyph_; }
  void SetShowGlyph(bool value);
  bool UseCustomGlyphs() const { return useCustomGlyphs_; }
  void SetUseCustomGlyphs(bool value);
  QImage ActiveGlyph() const { return activeGlyph_; }
  void SetActiveGlyph(const QImage& glyph);
  QImage DownActiveGlyph() const { return downActiveGlyph_; }
  void SetDownActiveGlyph(const QImage& glyph);
  QImage InactiveGlyph() const { return inactiveGlyph_; }
  void SetInactiveGlyph(const QImage& glyph);
  QImage DisabledGlyph() const { return disabledGlyph_; }
  void SetDisabledGlyph(const QImage& glyph);

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor color);
  bool AutoTransparency() const { return autoTransparency_; }
  void SetAutoTransparency(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  bool AutoHeight() const { return autoHeight_; }
  void SetAutoHeight(bool value);
  bool Office2000Look() const { return office2000Look_; }
  void SetOffice2000Look(bool value);

  // Font is QWidget::font(); its colour is kept here.
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor color);
  QFont HoverFont() const { return hoverFont_; }
  void SetHoverFont(const QFont& font);
  TColor HoverFontColor() const { return hoverFontColor_; }
  void SetHoverFontColor(TColor color);

  // An action lends the button its text and enabled state and runs when the
  // button is clicked without an OnClick handler.
  QAction* Action() const { return action_; }
  void SetAction(QAction* action);

  // Where the built-in images come from (OfficeImage by default); reloads them.
  void SetImageSource(TOffBtnImageSource source);

  // 0 normal, 1 hot, 2 pressed, 3 pressed with the pointer moved off.
  int ButtonState() const { return buttonState_; }
  // The button answers Enter: set from Default when first shown, on focus.
  bool IsActive() const { return isActive_; }

  void Click();
  TNotifyEvent OnClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseExit;

  // Dialog keys: a form calls these for keys its focused control did not take.
  bool DialogKey(int key, Qt::KeyboardModifiers modifiers);  // Enter/Space, Escape
  bool DialogChar(QChar ch);                                 // the accelerator

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Properties.
  QString caption_;
  int modalResult_ = 0;
  bool default_ = false;
  bool cancel_ = false;
  TColor activeColor_ = 0x808080;
  TColor activeOutlineColor_ = 0xFFFFFF;
  TColor activeOutlineColor2_ = 0xD6E7E7;
  TColor inactiveColor_ = 0xC0C0C0;
  TColor color_ = 0xCCFFFF;
  TOffBtnType controlType_ = TOffBtnType::bsButton;
  TGlyphPosition position_ = TGlyphPosition::bsLeft;
  bool showGlyph_ = false;
  bool useCustomGlyphs_ = false;
  QImage activeGlyph_, downActiveGlyph_, inactiveGlyph_, disabledGlyph_;
  bool transparent_ = false;
  TColor transparentColor_ = 0;
  bool autoTransparency_ = true;
  bool wordWrap_ = true;
  bool autoHeight_ = false;
  bool office2000Look_ = true;
  TColor fontColor_ = clWindowText;
  QFont hoverFont_;
  TColor hoverFontColor_ = clWindowText;
  QPointer<QAction> action_;

  // State.
  int buttonState_ = kStateNormal;
  bool isActive_ = false;
  bool keyboardClick_ = false;
  bool mouseClicked_ = false;  // a left press began on the button
  bool created_ = false;       // first shown: IsActive has been taken from Default
  TOffBtnImageSource imageSource_;
  TOffBtnImages images_;

  // OffBtn.cpp
  void LoadImages();
  void SizeChanged();
  void SetButtonState(int state);
  void AssignGlyph(QImage& glyph, const QImage& value);
  void ActionChanged();
  void ShowAboutBox();

  // OffBtnPaint.cpp
  QImage CurrentImage() const;
  bool GlyphShown(const QImage& image) const;
  QFont CaptionFont(bool hover) const;
  QColor CaptionColor() const;
  int ComputeHeight() const;
  void PaintBackground(QPainter& painter);
  void PaintContent(QPainter& painter);
  void PaintFocusMark(QPainter& painter, const TButtonLayout& layout,
                      const TWrappedCaption& caption, const TCaptionMeasurer& measurer);
  void PaintCaption(QPainter& painter, const TButtonLayout& layout, const TWrappedCaption& caption);
  void PaintFrame(QPainter& painter);
  bool ShowsFocusMark() const;

  // OffBtnInput.cpp
  bool IsUnderPointer(const QPoint& localPos) const;
  // Normal to hot and back, with the pointer events they fire.
  void BecomeHot();
  void LeaveHot();
  void KeyboardClick();
  void ResetSiblingButtons();
  void SetFormModalResult();
  void DoClick();
  bool CanFocus() const;
};

// Offers a key press to the TOffice97Button children of `form` as the
// platform's dialog-key broadcast does: first as a dialog key (Enter, Space,
// Escape), then as an accelerator character.  True when a button took it.
bool DispatchDialogKey(QWidget* form, QKeyEvent* event);

}  // namespace tessaline
