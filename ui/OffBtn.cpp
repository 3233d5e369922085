#include "ui/OffBtn.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QResizeEvent>
#include <QShowEvent>

namespace tessaline {

namespace {

bool IsSideways(TGlyphPosition position) {
  return position == TGlyphPosition::bsLeft || position == TGlyphPosition::bsRight;
}

}  // namespace

TOffice97Button::TOffice97Button(QWidget* owner)
    : QWidget(owner), hoverFont_(font()), imageSource_(OfficeImage) {
  // Every pixel is painted from the off-screen buffer; no erase beforehand.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // hot state without a button held
  resize(70, 23);
  LoadImages();
  // The focus mark depends on which control of the form has the focus.
  connect(qApp, &QApplication::focusChanged, this, [this] { update(); });
}

TOffice97Button::~TOffice97Button() = default;

void TOffice97Button::SetCaption(const QString& caption) {
  caption_ = caption;
  SizeChanged();
}

void TOffice97Button::SetDefault(bool value) {
  default_ = value;
  update();
}

void TOffice97Button::SetAbout(TOffBtnAbout value) {
  if (value == TOffBtnAbout::abAbout) ShowAboutBox();
}

void TOffice97Button::ShowAboutBox() {
  QMessageBox::information(this, QStringLiteral("About TOffice97Button"),
                           QStringLiteral("TOffice97Button\n"
                                          "Owner-drawn push button of the Tessaline widgets\n"
                                          "Version 1.0, 2 June 2025"));
}

void TOffice97Button::SetActiveColor(TColor color) {
  activeColor_ = color;
  update();
}

void TOffice97Button::SetActiveOutlineColor(TColor color) {
  activeOutlineColor_ = color;
  update();
}

void TOffice97Button::SetActiveOutlineColor2(TColor color) {
  activeOutlineColor2_ = color;
  update();
}

void TOffice97Button::SetInactiveColor(TColor color) {
  inactiveColor_ = color;
  update();
}

void TOffice97Button::SetColor(TColor color) {
  color_ = color;
  update();
}

void TOffice97Button::SetControlType(TOffBtnType type) {
  controlType_ = type;
  LoadImages();
  if (type != TOffBtnType::bsButton && IsSideways(position_)) position_ = TGlyphPosition::bsTop;
  SetShowGlyph(!office2000Look_ || type != TOffBtnType::bsButton);
}

void TOffice97Button::SetPosition(TGlyphPosition position) {
  if (controlType_ != TOffBtnType::bsButton && IsSideways(position)) {
    position = TGlyphPosition::bsTop;
  }
  position_ = position;
  SizeChanged();
}

void TOffice97Button::SetShowGlyph(bool value) {
  showGlyph_ = value;
  SizeChanged();
}

void TOffice97Button::SetUseCustomGlyphs(bool value) {
  useCustomGlyphs_ = value;
  SizeChanged();
}

void TOffice97Button::AssignGlyph(QImage& glyph, const QImage& value) {
  glyph = value;
  SizeChanged();
}

void TOffice97Button::SetActiveGlyph(const QImage& glyph) {
  AssignGlyph(activeGlyph_, glyph);
}

void TOffice97Button::SetDownActiveGlyph(const QImage& glyph) {
  AssignGlyph(downActiveGlyph_, glyph);
}

void TOffice97Button::SetInactiveGlyph(const QImage& glyph) {
  AssignGlyph(inactiveGlyph_, glyph);
}

void TOffice97Button::SetDisabledGlyph(const QImage& glyph) {
  AssignGlyph(disabledGlyph_, glyph);
}

void TOffice97Button::SetTransparent(bool value) {
  transparent_ = value;
  update();
}

void TOffice97Button::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  update();
}

void TOffice97Button::SetAutoTransparency(bool value) {
  autoTransparency_ = value;
  update();
}

void TOffice97Button::SetWordWrap(bool value) {
  wordWrap_ = value;
  SizeChanged();
}

void TOffice97Button::SetAutoHeight(bool value) {
  autoHeight_ = value;
  SizeChanged();
}

void TOffice97Button::SetOffice2000Look(bool value) {
  if (value == office2000Look_) return;
  office2000Look_ = value;
  activeColor_ = 0x808080;
  activeOutlineColor_ = 0xFFFFFF;
  inactiveColor_ = 0xC0C0C0;
  if (value) {
    activeOutlineColor2_ = 0xD6E7E7;
    color_ = 0xCCFFFF;
  } else {
    buttonState_ = kStateNormal;
    color_ = 0xE1FFFF;
  }
  LoadImages();  // the radio images differ between the looks
  SetShowGlyph(value ? showGlyph_ && controlType_ != TOffBtnType::bsButton : true);
}

void TOffice97Button::SetFontColor(TColor color) {
  fontColor_ = color;
  update();
}

void TOffice97Button::SetHoverFont(const QFont& font) {
  hoverFont_ = font;
  update();
}

void TOffice97Button::SetHoverFontColor(TColor color) {
  hoverFontColor_ = color;
  update();
}

void TOffice97Button::SetAction(QAction* action) {
  if (action_) disconnect(action_, nullptr, this, nullptr);
  action_ = action;
  if (!action) return;
  connect(action, &QAction::changed, this, &TOffice97Button::ActionChanged);
  ActionChanged();
}

void TOffice97Button::ActionChanged() {
  if (!action_) return;
  SetCaption(action_->text());
  setEnabled(action_->isEnabled());
}

void TOffice97Button::SetImageSource(TOffBtnImageSource source) {
  imageSource_ = std::move(source);
  LoadImages();
  SizeChanged();
}

void TOffice97Button::LoadImages() {
  images_ = LoadOffBtnImages(imageSource_, controlType_, office2000Look_);
}

void TOffice97Button::SizeChanged() {
  if (autoHeight_) resize(width(), ComputeHeight());
  update();
}

void TOffice97Button::SetButtonState(int state) {
  if (state == buttonState_) return;
  buttonState_ = state;
  update();
}

void TOffice97Button::showEvent(QShowEvent* event) {
  if (!created_) {
    created_ = true;
    isActive_ = default_ || hasFocus();
  }
  QWidget::showEvent(event);
}

void TOffice97Button::resizeEvent(QResizeEvent* event) {
  // A new width can change the wrapped caption and so the height.
  if (autoHeight_ && event->oldSize().width() != width()) SizeChanged();
  QWidget::resizeEvent(event);
}

void TOffice97Button::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::FontChange:
      SizeChanged();
      break;
    case QEvent::EnabledChange:
    case QEvent::LayoutDirectionChange:
      update();
      break;
    default:
      break;
  }
  QWidget::changeEvent(event);
}

}  // namespace tessaline
