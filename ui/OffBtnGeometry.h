// Layout of the owner-drawn button as plain functions over a text measurer,
// so that wrapping, placement, height and frames need no display.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

#include "ui/OffBtnTypes.h"

namespace tessaline {

// Measures caption text in the font the button draws it with.
class TCaptionMeasurer {
 public:
  virtual ~TCaptionMeasurer() = default;
  virtual int TextWidth(const QString& text) const = 0;
  virtual int TextHeight(const QString& text) const = 0;
};

// The width available to the caption.  `glyphShown` is false when there is
// no image to draw; `glyphWidth` is then ignored.
int CaptionWrapWidth(TOffBtnType type, TGlyphPosition position, bool glyphShown, int width,
                     int glyphWidth);

struct TWrappedCaption {
  bool wrapped = false;  // the caption was wider than the wrap width
  QStringList lines;     // empty when wrapped and not one character fits
  int wrapWidth = 0;     // the caption's width when it was not wrapped
  int lineHeight = 0;    // height of one wrapped line
  QSize block;           // the text block
};

// Splits `caption` greedily into lines no wider than `wrapWidth`, breaking at
// the last space that fits, else between characters.
TWrappedCaption WrapCaption(const QString& caption, int wrapWidth, const TCaptionMeasurer& measurer);

struct TLayoutInput {
  TOffBtnType type = TOffBtnType::bsButton;
  TGlyphPosition position = TGlyphPosition::bsLeft;
  bool glyphShown = false;
  bool rightToLeft = false;
  bool pressed = false;  // ButtonState 2
  QSize control;
  QSize glyph;
  QSize text;             // the text block
  int captionHeight = 0;  // height of one line of the caption
};

struct TButtonLayout {
  QRect image;
  QRect text;
  QRect focus;  // the text block as the focus mark measures it (not shifted)
};

TButtonLayout LayoutButton(const TLayoutInput& in);

// Height of a button whose text block is `textHeight` high.
int AutoHeightFor(TOffBtnType type, TGlyphPosition position, bool glyphShown, int glyphHeight,
                  int textHeight);

// The dotted focus outline of the types other than bsButton: one pixel
// outside the text block, two on the right; with several lines its lower
// edge follows the shorter last line.  A closed polygon.
std::vector<QPoint> FocusOutline(const QRect& block, int lineCount, int lineHeight,
                                 int lastLineWidth, bool rightToLeft);

// Frames of bsButton as strokes in the frame colours.
enum class TFrameColor { kInactive, kActive, kActiveOutline, kActiveOutline2 };
struct TFrameStroke {
  TFrameColor color;
  std::vector<QPoint> points;  // a polyline; one point is a single pixel
};
std::vector<TFrameStroke> FrameStrokes(bool office2000Look, int buttonState, int width, int height);

}  // namespace tessaline
