// Painting of TOffice97Button: everything goes to an off-screen pixmap that
// is copied to the widget in one operation.
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>

#include "ui/OffBtn.h"
#include "ui/OffBtnGeometry.h"

namespace tessaline {

namespace {

class TFontMeasurer : public TCaptionMeasurer {
 public:
  explicit TFontMeasurer(const QFont& font) : metrics_(font) {}
  int TextWidth(const QString& text) const override {
    return metrics_.size(Qt::TextSingleLine | Qt::TextShowMnemonic, text).width();
  }
  int TextHeight(const QString&) const override { return metrics_.height(); }

 private:
  QFontMetrics metrics_;
};

// The caption as it is drawn: wrapped lines, or the whole caption.
TWrappedCaption MeasureCaption(const QString& caption, bool wordWrap, int wrapWidth,
                               const TCaptionMeasurer& measurer) {
  if (wordWrap) return WrapCaption(caption, wrapWidth, measurer);
  TWrappedCaption whole;
  whole.lines = QStringList{caption};
  whole.lineHeight = measurer.TextHeight(caption);
  whole.block = QSize(measurer.TextWidth(caption), whole.lineHeight);
  whole.wrapWidth = whole.block.width();
  return whole;
}

// A dotted outline through `points` (closed), one pixel on, one off.
void DrawDottedOutline(QPainter& painter, const std::vector<QPoint>& points) {
  QPolygon dots;
  int phase = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const QPoint from = points[i], to = points[(i + 1) % points.size()];
    const int steps = std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
    const QPoint step((to.x() > from.x()) - (to.x() < from.x()),
                      (to.y() > from.y()) - (to.y() < from.y()));
    for (int s = 0; s < steps; ++s, ++phase) {
      if (phase % 2 == 0) dots << from + step * s;
    }
  }
  painter.drawPoints(dots);
}

QSize LogicalSize(const QImage& image) {
  return image.deviceIndependentSize().toSize();
}

}  // namespace

QImage TOffice97Button::CurrentImage() const {
  if (!isEnabled()) {
    if (!useCustomGlyphs_) return images_.disabled;
    if (!disabledGlyph_.isNull()) return disabledGlyph_;
    return EmbossDisabledImage(inactiveGlyph_,
                               TransparentKey(inactiveGlyph_, autoTransparency_, transparentColor_),
                               ToQColor(clBtnHighlight), ToQColor(clBtnShadow));
  }
  switch (buttonState_) {
    case kStateHot:
      if (!useCustomGlyphs_) return images_.hot;
      return activeGlyph_.isNull() ? inactiveGlyph_ : activeGlyph_;
    case kStatePressed:
      if (!useCustomGlyphs_) return images_.pressed;
      return downActiveGlyph_.isNull() ? inactiveGlyph_ : downActiveGlyph_;
    default:
      return useCustomGlyphs_ ? inactiveGlyph_ : images_.normal;
  }
}

bool TOffice97Button::GlyphShown(const QImage& image) const {
  return showGlyph_ && !image.isNull();
}

QFont TOffice97Button::CaptionFont(bool hover) const {
  QFont captionFont = hover ? hoverFont_ : font();
  if (default_) captionFont.setBold(true);
  return captionFont;
}

QColor TOffice97Button::CaptionColor() const {
  if (!isEnabled()) return ToQColor(inactiveColor_);
  const bool hover = buttonState_ == kStateHot || buttonState_ == kStatePressed;
  return ToQColor(hover ? hoverFontColor_ : fontColor_);
}

int TOffice97Button::ComputeHeight() const {
  const TFontMeasurer measurer(CaptionFont(false));
  const QImage image = CurrentImage();
  const bool shown = GlyphShown(image);
  const QSize glyph = LogicalSize(image);
  const int textHeight =
      MeasureCaption(caption_, wordWrap_,
                     CaptionWrapWidth(controlType_, position_, shown, width(), glyph.width()),
                     measurer)
          .block.height();
  return AutoHeightFor(controlType_, position_, shown, glyph.height(), textHeight);
}

bool TOffice97Button::ShowsFocusMark() const {
  if (!isActive_) return false;
  return hasFocus() || !qobject_cast<TOffice97Button*>(QApplication::focusWidget());
}

void TOffice97Button::paintEvent(QPaintEvent*) {
  const qreal ratio = devicePixelRatioF();
  QPixmap buffer(size() * ratio);
  buffer.setDevicePixelRatio(ratio);
  {
    QPainter painter(&buffer);
    PaintBackground(painter);
    PaintContent(painter);
    if (controlType_ == TOffBtnType::bsButton) PaintFrame(painter);
  }
  QPainter(this).drawPixmap(0, 0, buffer);
}

void TOffice97Button::PaintBackground(QPainter& painter) {
  QWidget* parent = parentWidget();
  if (!transparent_ || !parent) {
    painter.fillRect(rect(), ToQColor(color_));
    return;
  }
  painter.save();
  parent->render(&painter, QPoint(0, 0), QRegion(geometry()), QWidget::DrawWindowBackground);
  // Siblings below this button show through as well.
  for (QObject* child : parent->children()) {
    if (child == this) break;
    auto* sibling = qobject_cast<QWidget*>(child);
    if (!sibling || sibling->isWindow() || !sibling->isVisible()) continue;
    const QRect overlap = sibling->geometry() & geometry();
    if (overlap.isEmpty()) continue;
    sibling->render(&painter, overlap.topLeft() - pos(),
                    QRegion(overlap.translated(-sibling->pos())),
                    QWidget::DrawWindowBackground | QWidget::DrawChildren);
  }
  painter.restore();
}

void TOffice97Button::PaintContent(QPainter& painter) {
  const bool hover = isEnabled() && (buttonState_ == kStateHot || buttonState_ == kStatePressed);
  const QFont captionFont = CaptionFont(hover);
  const TFontMeasurer measurer(captionFont);
  const QImage image = CurrentImage();
  const bool shown = GlyphShown(image);

  TLayoutInput in;
  in.type = controlType_;
  in.position = position_;
  in.glyphShown = shown;
  in.rightToLeft = isRightToLeft();
  in.pressed = buttonState_ == kStatePressed;
  in.control = size();
  in.glyph = LogicalSize(image);
  in.captionHeight = measurer.TextHeight(caption_);
  const TWrappedCaption caption = MeasureCaption(
      caption_, wordWrap_,
      CaptionWrapWidth(controlType_, position_, shown, width(), in.glyph.width()), measurer);
  in.text = caption.block;
  const TButtonLayout layout = LayoutButton(in);

  painter.setFont(captionFont);
  painter.setPen(CaptionColor());
  painter.setLayoutDirection(layoutDirection());
  if (ShowsFocusMark()) PaintFocusMark(painter, layout, caption, measurer);
  PaintCaption(painter, layout, caption);
  if (shown) {
    DrawTransparent(painter, layout.image.topLeft(), image,
                    TransparentKey(image, autoTransparency_, transparentColor_));
  }
}

void TOffice97Button::PaintFocusMark(QPainter& painter, const TButtonLayout& layout,
                                     const TWrappedCaption& caption,
                                     const TCaptionMeasurer& measurer) {
  const QRect block = layout.focus;
  if (controlType_ == TOffBtnType::bsButton) {
    const int right = block.x() + block.width(), bottom = block.y() + block.height();
    DrawDottedOutline(painter,
                      {block.topLeft(), {right, block.y()}, {right, bottom}, {block.x(), bottom}});
    return;
  }
  const int lastWidth = caption.lines.isEmpty() ? 0 : measurer.TextWidth(caption.lines.last());
  DrawDottedOutline(painter, FocusOutline(block, caption.lines.size(), caption.lineHeight,
                                          lastWidth, isRightToLeft()));
}

void TOffice97Button::PaintCaption(QPainter& painter, const TButtonLayout& layout,
                                   const TWrappedCaption& caption) {
  const bool pushButton = controlType_ == TOffBtnType::bsButton;
  const int sideways = isRightToLeft() ? Qt::AlignRight : Qt::AlignLeft;
  if (!wordWrap_) {
    const int flags = pushButton ? Qt::AlignHCenter : sideways | Qt::TextWordWrap;
    painter.drawText(layout.text, flags | Qt::AlignTop | Qt::TextShowMnemonic, caption_);
    return;
  }
  const int flags = (pushButton ? Qt::AlignHCenter : sideways) | Qt::AlignTop | Qt::TextSingleLine |
                    Qt::TextShowMnemonic;
  QRect line(layout.text.topLeft(), QSize(caption.wrapWidth, caption.lineHeight));
  for (const QString& text : caption.lines) {
    painter.drawText(line, flags, text);
    line.translate(0, caption.lineHeight);
  }
}

void TOffice97Button::PaintFrame(QPainter& painter) {
  auto colorOf = [this](TFrameColor role) {
    switch (role) {
      case TFrameColor::kInactive:
        return ToQColor(inactiveColor_);
      case TFrameColor::kActive:
        return ToQColor(activeColor_);
      case TFrameColor::kActiveOutline:
        return ToQColor(activeOutlineColor_);
      case TFrameColor::kActiveOutline2:
        return ToQColor(activeOutlineColor2_);
    }
    return QColor(Qt::black);
  };
  for (const TFrameStroke& stroke :
       FrameStrokes(office2000Look_, buttonState_, width(), height())) {
    painter.setPen(QPen(colorOf(stroke.color), 1));
    if (stroke.points.size() == 1) {
      painter.drawPoint(stroke.points.front());
    } else {
      painter.drawPolyline(stroke.points.data(), static_cast<int>(stroke.points.size()));
    }
  }
}

}  // namespace tessaline
