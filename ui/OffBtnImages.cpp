#include "ui/OffBtnImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPoint>
#include <QPolygon>

namespace tessaline {

namespace {

// Built-in images are drawn on this key colour, which their bottom-left
// pixel keeps so that automatic transparency removes it.
constexpr QRgb kImageKey = 0xFFFF00FF;

enum class TImageShape { kCheck, kRadio, kUp, kDown, kFlatRadio, kHint };
enum TImageVariant { kHot, kDisabled, kPressed, kNormal };  // resource order

struct TImageStyle {
  TImageShape shape;
  int size;
  QColor accent;
};

TImageStyle StyleOfGroup(int group) {
  switch (group) {
    case 0:
      return {TImageShape::kCheck, 16, QColor(0x2E, 0x8B, 0x57)};
    case 1:
      return {TImageShape::kRadio, 13, QColor(0x20, 0x40, 0xA0)};
    case 2:
      return {TImageShape::kUp, 13, QColor(0x20, 0x40, 0x80)};
    case 3:
      return {TImageShape::kDown, 13, QColor(0x20, 0x40, 0x80)};
    case 4:
      return {TImageShape::kFlatRadio, 13, QColor(0x1C, 0x5C, 0xB8)};
    default:
      return {TImageShape::kHint, 16, QColor(0xD8, 0x9A, 0x00)};
  }
}

QColor VariantColor(const QColor& accent, int variant) {
  switch (variant) {
    case kHot:
      return accent.lighter(140);
    case kDisabled:
      return QColor(0x9A, 0x9A, 0x9A);
    case kPressed:
      return accent.darker(140);
    default:
      return accent;
  }
}

void DrawCheck(QPainter& p, const QColor& color) {
  p.setPen(QPen(color, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.drawPolyline(QPolygon({QPoint(3, 8), QPoint(6, 11), QPoint(12, 4)}));
}

void DrawRadio(QPainter& p, const QColor& color, bool flat) {
  p.setPen(flat ? color : QColor(0x80, 0x80, 0x80));
  p.setBrush(Qt::white);
  p.drawEllipse(QRect(0, 0, 12, 12));
  if (!flat) {
    p.setPen(QColor(0xF0, 0xF0, 0xF0));
    p.drawArc(QRect(1, 1, 10, 10), 225 * 16, 180 * 16);
  }
  p.setPen(color);
  p.setBrush(color);
  p.drawEllipse(QRect(4, 4, 4, 4));
}

void DrawArrow(QPainter& p, const QColor& color, bool up) {
  p.setPen(color);
  p.setBrush(color);
  const QPolygon upward({QPoint(6, 2), QPoint(11, 8), QPoint(1, 8)});
  const QPolygon downward({QPoint(1, 4), QPoint(11, 4), QPoint(6, 10)});
  p.drawPolygon(up ? upward : downward);
}

void DrawHint(QPainter& p, const QColor& color) {
  p.setPen(color.darker(130));
  p.setBrush(color);
  p.drawEllipse(QRect(1, 1, 13, 13));
  p.fillRect(QRect(7, 4, 2, 2), Qt::white);
  p.fillRect(QRect(7, 7, 2, 5), Qt::white);
}

QImage DrawOfficeImage(const TImageStyle& style, int variant) {
  QImage image(style.size, style.size, QImage::Format_RGB32);
  image.fill(kImageKey);
  QPainter p(&image);  // aliased: edges must not blend with the key colour
  const QColor color = VariantColor(style.accent, variant);
  switch (style.shape) {
    case TImageShape::kCheck:
      DrawCheck(p, color);
      break;
    case TImageShape::kRadio:
    case TImageShape::kFlatRadio:
      DrawRadio(p, color, style.shape == TImageShape::kFlatRadio);
      break;
    case TImageShape::kUp:
    case TImageShape::kDown:
      DrawArrow(p, color, style.shape == TImageShape::kUp);
      break;
    case TImageShape::kHint:
      DrawHint(p, color);
      break;
  }
  return image;
}

}  // namespace

QImage OfficeImage(const QString& name) {
  static const QString kPrefix = QStringLiteral("OFFICE_");
  if (!name.startsWith(kPrefix)) return QImage();
  bool ok = false;
  const int number = name.mid(kPrefix.size()).toInt(&ok);
  if (!ok || number < 1 || number > 24) return QImage();
  return DrawOfficeImage(StyleOfGroup((number - 1) / 4), (number - 1) % 4);
}

int FirstOfficeImage(TOffBtnType type, bool office2000Look) {
  switch (type) {
    case TOffBtnType::bsButton:
      return 1;
    case TOffBtnType::bsRadioButton:
      return office2000Look ? 17 : 5;
    case TOffBtnType::bsUpButton:
      return 9;
    case TOffBtnType::bsDownButton:
      return 13;
    case TOffBtnType::bsHintButton:
      return 21;
  }
  return 1;
}

TOffBtnImages LoadOffBtnImages(const TOffBtnImageSource& source, TOffBtnType type,
                               bool office2000Look) {
  if (!source) return {};
  const int first = FirstOfficeImage(type, office2000Look);
  auto load = [&](int offset) { return source(QStringLiteral("OFFICE_%1").arg(first + offset)); };
  TOffBtnImages images;
  images.hot = load(kHot);
  images.disabled = load(kDisabled);
  images.pressed = load(kPressed);
  images.normal = load(kNormal);
  return images;
}

QRgb TransparentKey(const QImage& image, bool autoTransparency, TColor transparentColor) {
  if (autoTransparency && !image.isNull()) return image.pixel(0, image.height() - 1) & 0xFFFFFF;
  return ToQColor(transparentColor).rgb() & 0xFFFFFF;
}

void DrawTransparent(QPainter& painter, const QPoint& topLeft, const QImage& image, QRgb key) {
  if (image.isNull()) return;
  QImage masked = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < masked.height(); ++y) {
    for (int x = 0; x < masked.width(); ++x) {
      if ((masked.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF)) masked.setPixel(x, y, 0);
    }
  }
  painter.drawImage(topLeft, masked);
}

QImage EmbossDisabledImage(const QImage& glyph, QRgb key, const QColor& highlight,
                           const QColor& shadow) {
  if (glyph.isNull()) return QImage();
  const QImage source = glyph.convertToFormat(QImage::Format_ARGB32);
  QImage result(source.size(), QImage::Format_ARGB32);
  result.fill(Qt::transparent);
  auto isGlyph = [&](int x, int y) {
    const QRgb pixel = source.pixel(x, y);
    return qAlpha(pixel) != 0 && (pixel & 0xFFFFFF) != (key & 0xFFFFFF);
  };
  for (const auto& [color, offset] : {std::pair{highlight, 1}, std::pair{shadow, 0}}) {
    for (int y = 0; y + offset < source.height(); ++y) {
      for (int x = 0; x + offset < source.width(); ++x) {
        if (isGlyph(x, y)) result.setPixel(x + offset, y + offset, color.rgba());
      }
    }
  }
  return result;
}

}  // namespace tessaline
