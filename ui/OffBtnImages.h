// Images of the owner-drawn button: the built-in "OFFICE_n" images, the
// embossed image of a disabled custom glyph, and drawing with a key colour.
#pragma once

#include <QImage>
#include <QString>
#include <functional>

#include "ui/OffBtnTypes.h"
#include "ui/UiColor.h"

class QPainter;
class QPoint;

namespace tessaline {

// Looks an image up by resource name; a null image when the name is unknown.
using TOffBtnImageSource = std::function<QImage(const QString& name)>;

// The images drawn by this module for "OFFICE_1" to "OFFICE_24".
QImage OfficeImage(const QString& name);

// The four images of one control type, in the order they are looked up.
struct TOffBtnImages {
  QImage hot;
  QImage disabled;
  QImage pressed;
  QImage normal;
};

// Number of the first of the four resource names of a control type.
int FirstOfficeImage(TOffBtnType type, bool office2000Look);

TOffBtnImages LoadOffBtnImages(const TOffBtnImageSource& source, TOffBtnType type,
                               bool office2000Look);

// The colour that lets the background through: the bottom-left pixel with
// automatic transparency, else `transparentColor`.
QRgb TransparentKey(const QImage& image, bool autoTransparency, TColor transparentColor);

// Draws `image` at `topLeft`; pixels of colour `key` are not drawn.
void DrawTransparent(QPainter& painter, const QPoint& topLeft, const QImage& image, QRgb key);

// An embossed grey image of `glyph` on a transparent background: every pixel
// that is not `key` is drawn in `highlight` one pixel right and down, then in
// `shadow` in place.
QImage EmbossDisabledImage(const QImage& glyph, QRgb key, const QColor& highlight,
                           const QColor& shadow);

}  // namespace tessaline
