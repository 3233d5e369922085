#include "ui/OffBtnGeometry.h"

#include <algorithm>

namespace tessaline {

namespace {

bool IsVertical(TGlyphPosition position) {
  return position == TGlyphPosition::bsTop || position == TGlyphPosition::bsBottom;
}

// Where the next line starts, or -1 when not one character of the line at
// `start` fits.  `lineEnd` receives the end (exclusive) of the line.
int SplitLine(const QString& caption, int start, int wrapWidth, const TCaptionMeasurer& measurer,
              int* lineEnd) {
  int end = start;
  int lastSpace = -1;
  while (end < caption.size() &&
         measurer.TextWidth(caption.mid(start, end - start + 1)) <= wrapWidth) {
    if (caption[end] == QLatin1Char(' ')) lastSpace = end;
    ++end;
  }
  if (end == caption.size()) {
    *lineEnd = end;
    return end;
  }
  if (lastSpace >= 0) {
    *lineEnd = lastSpace;
    return lastSpace + 1;
  }
  *lineEnd = end;
  return end == start ? -1 : end;
}

QStringList SplitLines(const QString& caption, int wrapWidth, const TCaptionMeasurer& measurer) {
  QStringList lines;
  int start = 0;
  while (start < caption.size()) {
    int lineEnd = 0;
    const int next = SplitLine(caption, start, wrapWidth, measurer, &lineEnd);
    if (next < 0) return {};  // no progress: nothing can be drawn
    lines.append(caption.mid(start, lineEnd - start));
    start = next;
  }
  return lines;
}

// The mirror images of a point in a W x H client rectangle.
QPoint Mirror(const QPoint& p, int width, int height, bool horizontal, bool vertical) {
  return QPoint(horizontal ? width - 1 - p.x() : p.x(), vertical ? height - 1 - p.y() : p.y());
}

std::vector<QPoint> Mirrored(std::vector<QPoint> points, int width, int height, bool horizontal,
                             bool vertical, bool reversed) {
  for (QPoint& p : points) p = Mirror(p, width, height, horizontal, vertical);
  if (reversed) std::reverse(points.begin(), points.end());
  return points;
}

// The rounded top-left corner at inset `d`, from the top edge to the left edge.
std::vector<QPoint> RoundCorner(int d) {
  return {{8, d}, {7, d + 1}, {6, d + 1}, {d + 1, 6}, {d + 1, 7}, {d, 8}};
}

void Append(std::vector<QPoint>& to, const std::vector<QPoint>& points) {
  to.insert(to.end(), points.begin(), points.end());
}

std::vector<QPoint> RoundedOutline(int d, int w, int h) {
  const std::vector<QPoint> corner = RoundCorner(d);
  std::vector<QPoint> outline = corner;
  Append(outline, Mirrored(corner, w, h, false, true, true));
  Append(outline, Mirrored(corner, w, h, true, true, false));
  Append(outline, Mirrored(corner, w, h, true, false, true));
  outline.push_back(outline.front());
  return outline;
}

// Left and top edges of the rounded outline at inset `d`.
std::vector<QPoint> RoundedTopLeft(int d, int w, int h) {
  std::vector<QPoint> line{{d, h - 9}};
  Append(line, Mirrored(RoundCorner(d), w, h, false, false, true));
  line.push_back({w - 9, d});
  return line;
}

// Right and bottom edges of the rounded outline at inset `d`.
std::vector<QPoint> RoundedBottomRight(int d, int w, int h) {
  std::vector<QPoint> line{{w - 1 - d, 8}};
  Append(line, Mirrored(RoundCorner(d), w, h, true, true, true));
  line.push_back({8, h - 1 - d});
  return line;
}

std::vector<TFrameStroke> RoundedFrame(int state, int w, int h) {
  std::vector<TFrameStroke> strokes{{TFrameColor::kInactive, RoundedOutline(1, w, h)}};
  if (state == kStateHot) {
    strokes.push_back({TFrameColor::kActive, RoundedOutline(2, w, h)});
    strokes.push_back({TFrameColor::kActiveOutline, RoundedTopLeft(3, w, h)});
    strokes.push_back({TFrameColor::kActiveOutline, RoundedTopLeft(4, w, h)});
  } else if (state == kStatePressed) {
    strokes.push_back({TFrameColor::kActive, RoundedTopLeft(2, w, h)});
    strokes.push_back({TFrameColor::kActive, RoundedTopLeft(3, w, h)});
    strokes.push_back({TFrameColor::kActiveOutline, RoundedBottomRight(2, w, h)});
  }
  return strokes;
}

std::vector<TFrameStroke> CutFrame(int state, int w, int h) {
  if (state != kStateHot && state != kStatePressed) {
    return {{TFrameColor::kInactive,
             {{3, 1},
              {1, 3},
              {1, h - 4},
              {3, h - 2},
              {w - 4, h - 2},
              {w - 2, h - 4},
              {w - 2, 3},
              {w - 4, 1},
              {3, 1}}}};
  }
  const bool hot = state == kStateHot;
  const TFrameColor topLeft = hot ? TFrameColor::kActiveOutline : TFrameColor::kActive;
  const TFrameColor bottomRight = hot ? TFrameColor::kActive : TFrameColor::kActiveOutline;
  std::vector<TFrameStroke> strokes{
      {TFrameColor::kActiveOutline2,
       {{3, 0},
        {0, 3},
        {0, h - 4},
        {3, h - 1},
        {w - 4, h - 1},
        {w - 1, h - 4},
        {w - 1, 3},
        {w - 4, 0},
        {3, 0}}},
      {topLeft, {{w - 4, 1}, {3, 1}, {1, 3}, {1, h - 5}}},
      {bottomRight, {{w - 2, 4}, {w - 2, h - 4}, {w - 4, h - 2}, {3, h - 2}}},
  };
  for (QPoint corner : {QPoint(w - 3, 2), QPoint(w - 2, 3), QPoint(1, h - 4), QPoint(2, h - 3)}) {
    strokes.push_back({TFrameColor::kInactive, {corner}});
  }
  if (!hot) {
    strokes.push_back({TFrameColor::kActiveOutline2, {{w - 5, 2}, {3, 2}, {2, 3}, {2, h - 6}}});
  }
  return strokes;
}

}  // namespace

int CaptionWrapWidth(TOffBtnType type, TGlyphPosition position, bool glyphShown, int width,
                     int glyphWidth) {
  if (type == TOffBtnType::bsButton && IsVertical(position)) return width - 13;
  const int margin = type == TOffBtnType::bsButton ? 18 : 10;
  int wrapWidth = width - glyphWidth - margin;
  if (!glyphShown) wrapWidth += glyphWidth + 5;
  return wrapWidth;
}

TWrappedCaption WrapCaption(const QString& caption, int wrapWidth, const TCaptionMeasurer& measurer) {
  TWrappedCaption result;
  const int captionWidth = measurer.TextWidth(caption);
  if (captionWidth <= wrapWidth) {
    result.lines = QStringList{caption};
    result.wrapWidth = captionWidth;
    result.lineHeight = measurer.TextHeight(caption);
    result.block = QSize(captionWidth, result.lineHeight);
    return result;
  }
  result.wrapped = true;
  result.lines = SplitLines(caption, wrapWidth, measurer);
  result.wrapWidth = wrapWidth;
  result.lineHeight = measurer.TextHeight(QStringLiteral("0"));
  result.block = QSize(wrapWidth, result.lineHeight * result.lines.size());
  return result;
}

namespace {

void LayoutPushButton(const TLayoutInput& in, TButtonLayout& out) {
  const int w = in.control.width(), h = in.control.height();
  const int gw = in.glyph.width(), gh = in.glyph.height();
  const int tw = in.text.width(), th = in.text.height();
  if (!in.glyphShown) {
    out.text.moveTopLeft({(w - tw - 1) / 2 + 1, (h - th - 1) / 2 + 1});
    return;
  }
  TGlyphPosition position = in.position;
  if (in.rightToLeft && position == TGlyphPosition::bsLeft) {
    position = TGlyphPosition::bsRight;
  } else if (in.rightToLeft && position == TGlyphPosition::bsRight) {
    position = TGlyphPosition::bsLeft;
  }
  if (IsVertical(position)) {
    out.image.moveTopLeft({(w - gw - 1) / 2 + 1, 6});
    out.text.moveTopLeft({(w - tw - 1) / 2 + 1, (h - gh - th - 1) / 2 + gh + 1});
    if (position == TGlyphPosition::bsBottom) {
      out.image.moveTop(h - out.image.top() - gh - 1);
      out.text.moveTop(h - out.text.top() - th - 1);
    }
  } else {
    out.image.moveTopLeft({6, (h - gh - 1) / 2 + 1});
    out.text.moveTopLeft({(w - gw - tw - 1) / 2 + gw + 1, (h - th - 1) / 2 + 1});
    if (position == TGlyphPosition::bsRight) {
      out.image.moveLeft(w - out.image.left() - gw - 1);
      out.text.moveLeft(w - out.text.left() - tw - 1);
    }
  }
}

void LayoutOtherType(const TLayoutInput& in, TButtonLayout& out) {
  const int w = in.control.width(), h = in.control.height();
  const int gw = in.glyph.width(), gh = in.glyph.height();
  const int tw = in.text.width(), th = in.text.height();
  if (!in.glyphShown) {
    out.text.moveTopLeft({in.rightToLeft ? w - tw - 2 : 2, 2});
    return;
  }
  const int spare = in.captionHeight - gh;
  out.image.moveTopLeft({in.rightToLeft ? w - gw - 2 : 2, spare > 1 ? spare / 2 + 2 : 2});
  out.text.moveTopLeft({in.rightToLeft ? w - tw - (gw + 7) : gw + 7, 2});
  if (in.position == TGlyphPosition::bsBottom) {
    out.image.moveTop(h - out.image.top() - gh - 1);
    out.text.moveTop(h - out.text.top() - th - 1);
  }
}

}  // namespace

TButtonLayout LayoutButton(const TLayoutInput& in) {
  TButtonLayout out;
  out.image = QRect(QPoint(0, 0), in.glyphShown ? in.glyph : QSize(0, 0));
  out.text = QRect(QPoint(0, 0), in.text);
  if (in.type == TOffBtnType::bsButton) {
    LayoutPushButton(in, out);
  } else {
    LayoutOtherType(in, out);
  }
  out.focus = out.text;
  if (in.pressed && in.type == TOffBtnType::bsButton) {
    out.image.translate(1, 1);
    out.text.translate(1, 1);
  }
  return out;
}

int AutoHeightFor(TOffBtnType type, TGlyphPosition position, bool glyphShown, int glyphHeight,
                  int textHeight) {
  const bool pushButton = type == TOffBtnType::bsButton;
  if (glyphShown && pushButton && IsVertical(position)) {
    textHeight += glyphHeight + 4;
  } else if (glyphShown) {
    textHeight = std::max(textHeight, glyphHeight);
  }
  return textHeight + (pushButton ? 10 : 5);
}

std::vector<QPoint> FocusOutline(const QRect& block, int lineCount, int lineHeight,
                                 int lastLineWidth, bool rightToLeft) {
  const int left = block.x() - 1, top = block.y() - 1;
  const int right = block.x() + block.width() + 1, bottom = block.y() + block.height();
  if (lineCount <= 1) return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  const int step = block.y() + (lineCount - 1) * lineHeight;
  if (rightToLeft) {
    const int shortLeft = block.x() + block.width() - lastLineWidth - 1;
    return {{right, top},      {left, top},         {left, step},
            {shortLeft, step}, {shortLeft, bottom}, {right, bottom}};
  }
  const int shortRight = block.x() + lastLineWidth + 1;
  return {{left, top},        {right, top},         {right, step},
          {shortRight, step}, {shortRight, bottom}, {left, bottom}};
}

std::vector<TFrameStroke> FrameStrokes(bool office2000Look, int buttonState, int width,
                                       int height) {
  return office2000Look ? CutFrame(buttonState, width, height)
                        : RoundedFrame(buttonState, width, height);
}

}  // namespace tessaline
