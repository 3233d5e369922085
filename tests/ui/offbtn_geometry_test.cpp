// Layout of the owner-drawn button with a measurer of exact, made-up widths.
#include <algorithm>

#include "gtest/gtest.h"
#include "ui/OffBtnGeometry.h"

namespace tessaline {
namespace {

// Every character is 6 pixels wide except 'W' (40) and ' ' (3); every text
// is 13 pixels high.
class TFakeMeasurer : public TCaptionMeasurer {
 public:
  int TextWidth(const QString& text) const override {
    int width = 0;
    for (QChar c : text) width += c == 'W' ? 40 : c == ' ' ? 3 : 6;
    return width;
  }
  int TextHeight(const QString&) const override { return 13; }
};

const TFakeMeasurer kMeasurer;

bool Contains(const std::vector<QPoint>& points, const QPoint& p) {
  return std::find(points.begin(), points.end(), p) != points.end();
}

TEST(OffBtnWrap, CaptionThatFitsIsOneLineOfItsOwnWidth) {
  const TWrappedCaption c = WrapCaption("OK", 57, kMeasurer);
  EXPECT_FALSE(c.wrapped);
  EXPECT_EQ(c.lines, QStringList{"OK"});
  EXPECT_EQ(c.wrapWidth, 12);
  EXPECT_EQ(c.block, QSize(12, 13));
}

TEST(OffBtnWrap, BreaksGreedilyAtTheLastSpaceThatFits) {
  // "abc def" is 6*6 + 3 = 39 wide; adding " g" would need 48 > 45.
  const TWrappedCaption c = WrapCaption("abc def ghi jk", 45, kMeasurer);
  EXPECT_TRUE(c.wrapped);
  EXPECT_EQ(c.lines, (QStringList{"abc def", "ghi jk"}));
  EXPECT_EQ(c.wrapWidth, 45);
  EXPECT_EQ(c.block, QSize(45, 26));  // wrap width x two lines of "0"
}

TEST(OffBtnWrap, CutsAWordWiderThanTheLineBetweenCharacters) {
  const TWrappedCaption c = WrapCaption("abcdefghij", 25, kMeasurer);  // four fit
  EXPECT_EQ(c.lines, (QStringList{"abcd", "efgh", "ij"}));
  EXPECT_EQ(c.block.height(), 39);
}

TEST(OffBtnWrap, BreaksAtSpaceBeforeCuttingALaterLongWord) {
  const TWrappedCaption c = WrapCaption("ab cdefghijkl", 30, kMeasurer);
  EXPECT_EQ(c.lines, (QStringList{"ab", "cdefg", "hijkl"}));
}

TEST(OffBtnWrap, CharacterWiderThanTheLineGivesNoLines) {
  EXPECT_TRUE(WrapCaption("Wide", 30, kMeasurer).lines.isEmpty());
  EXPECT_EQ(WrapCaption("Wide", 30, kMeasurer).block.height(), 0);
  // Also when it comes later: the whole split is abandoned rather than looping.
  EXPECT_TRUE(WrapCaption("ab W", 20, kMeasurer).lines.isEmpty());
  EXPECT_TRUE(WrapCaption("abc", -5, kMeasurer).lines.isEmpty());
}

TEST(OffBtnWrap, WidthLeftForTheCaptionDependsOnTypeAndImage) {
  using enum TOffBtnType;
  using enum TGlyphPosition;
  EXPECT_EQ(CaptionWrapWidth(bsButton, bsTop, true, 70, 16), 57);
  EXPECT_EQ(CaptionWrapWidth(bsButton, bsBottom, false, 70, 16), 57);
  EXPECT_EQ(CaptionWrapWidth(bsButton, bsLeft, true, 70, 16), 36);
  EXPECT_EQ(CaptionWrapWidth(bsButton, bsRight, false, 70, 16), 57);
  EXPECT_EQ(CaptionWrapWidth(bsRadioButton, bsTop, true, 70, 13), 47);
  EXPECT_EQ(CaptionWrapWidth(bsHintButton, bsTop, false, 70, 13), 65);
}

TEST(OffBtnAutoHeight, FollowsTextAndImage) {
  using enum TOffBtnType;
  using enum TGlyphPosition;
  EXPECT_EQ(AutoHeightFor(bsButton, bsLeft, false, 0, 13), 23);
  EXPECT_EQ(AutoHeightFor(bsButton, bsLeft, true, 16, 13), 26);  // image taller than text
  EXPECT_EQ(AutoHeightFor(bsButton, bsLeft, true, 16, 26), 36);  // text taller than image
  EXPECT_EQ(AutoHeightFor(bsButton, bsTop, true, 16, 13), 43);   // stacked: 13 + 16 + 4
  EXPECT_EQ(AutoHeightFor(bsRadioButton, bsTop, true, 16, 13), 21);
  EXPECT_EQ(AutoHeightFor(bsUpButton, bsTop, false, 0, 26), 31);
}

TLayoutInput PushButton(TGlyphPosition position, bool glyph) {
  TLayoutInput in;
  in.position = position;
  in.glyphShown = glyph;
  in.control = QSize(70, 23);
  in.glyph = QSize(16, 16);
  in.text = QSize(20, 13);
  in.captionHeight = 13;
  return in;
}

TEST(OffBtnLayout, PushButtonCentresTextWithoutImage) {
  const TButtonLayout l = LayoutButton(PushButton(TGlyphPosition::bsLeft, false));
  EXPECT_EQ(l.text, QRect(25, 5, 20, 13));  // (70-20-1)/2+1, (23-13-1)/2+1
  EXPECT_TRUE(l.image.isEmpty());
}

TEST(OffBtnLayout, PushButtonImageLeftOrRight) {
  TButtonLayout l = LayoutButton(PushButton(TGlyphPosition::bsLeft, true));
  EXPECT_EQ(l.image.topLeft(), QPoint(6, 4));
  EXPECT_EQ(l.text.topLeft(), QPoint(33, 5));  // (70-16-20-1)/2 + 16 + 1
  l = LayoutButton(PushButton(TGlyphPosition::bsRight, true));
  EXPECT_EQ(l.image.topLeft(), QPoint(47, 4));  // 70 - 6 - 16 - 1
  EXPECT_EQ(l.text.topLeft(), QPoint(16, 5));   // 70 - 33 - 20 - 1

  TLayoutInput rtl = PushButton(TGlyphPosition::bsLeft, true);
  rtl.rightToLeft = true;  // reads as bsRight
  EXPECT_EQ(LayoutButton(rtl).image.topLeft(), QPoint(47, 4));
}

TEST(OffBtnLayout, PushButtonImageTopOrBottom) {
  TLayoutInput in = PushButton(TGlyphPosition::bsTop, true);
  in.control = QSize(70, 43);
  TButtonLayout l = LayoutButton(in);
  EXPECT_EQ(l.image.topLeft(), QPoint(27, 6));
  EXPECT_EQ(l.text.topLeft(), QPoint(25, 23));  // (43-16-13-1)/2 + 16 + 1
  in.position = TGlyphPosition::bsBottom;
  l = LayoutButton(in);
  EXPECT_EQ(l.image.top(), 43 - 6 - 16 - 1);
  EXPECT_EQ(l.text.top(), 43 - 23 - 13 - 1);
}

TEST(OffBtnLayout, PressedPushButtonMovesContentButNotFocusMark) {
  TLayoutInput in = PushButton(TGlyphPosition::bsLeft, true);
  in.pressed = true;
  const TButtonLayout l = LayoutButton(in);
  EXPECT_EQ(l.image.topLeft(), QPoint(7, 5));
  EXPECT_EQ(l.text.topLeft(), QPoint(34, 6));
  EXPECT_EQ(l.focus.topLeft(), QPoint(33, 5));
  in.type = TOffBtnType::bsRadioButton;  // only push buttons move
  EXPECT_EQ(LayoutButton(in).text.topLeft(), QPoint(23, 2));
}

TEST(OffBtnLayout, OtherTypesPutImageBesideText) {
  TLayoutInput in = PushButton(TGlyphPosition::bsTop, true);
  in.type = TOffBtnType::bsRadioButton;
  in.glyph = QSize(9, 9);
  TButtonLayout l = LayoutButton(in);
  EXPECT_EQ(l.image.topLeft(), QPoint(2, 4));  // (13-9)/2 + 2: centred on the first line
  EXPECT_EQ(l.text.topLeft(), QPoint(16, 2));
  in.glyph = QSize(12, 12);  // only one pixel to spare: not centred
  EXPECT_EQ(LayoutButton(in).image.topLeft(), QPoint(2, 2));

  in.rightToLeft = true;
  l = LayoutButton(in);
  EXPECT_EQ(l.image.left(), 70 - 12 - 2);
  EXPECT_EQ(l.text.left(), 70 - 20 - 19);

  in.glyphShown = false;
  EXPECT_EQ(LayoutButton(in).text.topLeft(), QPoint(48, 2));
}

TEST(OffBtnLayout, FocusOutlineFollowsShortLastLine) {
  const QRect block(10, 2, 40, 26);
  EXPECT_EQ(FocusOutline(block, 1, 13, 40, false),
            (std::vector<QPoint>{{9, 1}, {51, 1}, {51, 28}, {9, 28}}));
  EXPECT_EQ(FocusOutline(block, 2, 13, 12, false),
            (std::vector<QPoint>{{9, 1}, {51, 1}, {51, 15}, {23, 15}, {23, 28}, {9, 28}}));
  EXPECT_EQ(FocusOutline(block, 2, 13, 12, true),
            (std::vector<QPoint>{{51, 1}, {9, 1}, {9, 15}, {37, 15}, {37, 28}, {51, 28}}));
}

std::vector<QPoint> StrokesIn(const std::vector<TFrameStroke>& strokes, TFrameColor color) {
  std::vector<QPoint> points;
  for (const TFrameStroke& s : strokes) {
    if (s.color == color) points.insert(points.end(), s.points.begin(), s.points.end());
  }
  return points;
}

TEST(OffBtnFrame, Office2000LookCutsCorners) {
  const int w = 70, h = 23;
  const auto normal = FrameStrokes(true, kStateNormal, w, h);
  ASSERT_EQ(normal.size(), 1u);
  EXPECT_EQ(normal[0].color, TFrameColor::kInactive);
  EXPECT_EQ(normal[0].points,
            (std::vector<QPoint>{
                {3, 1}, {1, 3}, {1, 19}, {3, 21}, {66, 21}, {68, 19}, {68, 3}, {66, 1}, {3, 1}}));
  EXPECT_EQ(FrameStrokes(true, kStatePressedOff, w, h)[0].points, normal[0].points);

  const auto hot = FrameStrokes(true, kStateHot, w, h);
  EXPECT_TRUE(Contains(StrokesIn(hot, TFrameColor::kActiveOutline2), {0, 3}));
  EXPECT_TRUE(Contains(StrokesIn(hot, TFrameColor::kActiveOutline2), {69, 19}));
  EXPECT_TRUE(Contains(StrokesIn(hot, TFrameColor::kActiveOutline), {3, 1}));  // top-left light
  EXPECT_TRUE(Contains(StrokesIn(hot, TFrameColor::kActive), {68, 4}));        // bottom-right dark

  const auto pressed = FrameStrokes(true, kStatePressed, w, h);
  EXPECT_EQ(StrokesIn(pressed, TFrameColor::kActive),
            (std::vector<QPoint>{{66, 1}, {3, 1}, {1, 3}, {1, 18}}));
  EXPECT_TRUE(Contains(StrokesIn(pressed, TFrameColor::kActiveOutline), {68, 4}));
  EXPECT_GT(StrokesIn(pressed, TFrameColor::kActiveOutline2).size(),
            StrokesIn(hot, TFrameColor::kActiveOutline2).size());  // the second inner line
}

TEST(OffBtnFrame, RoundedLookHasRoundCornersAndNoSecondOutline) {
  const int w = 70, h = 23;
  const auto normal = FrameStrokes(false, kStateNormal, w, h);
  ASSERT_EQ(normal.size(), 1u);
  for (QPoint p : {QPoint(8, 1), QPoint(7, 2), QPoint(6, 2), QPoint(2, 6), QPoint(2, 7),
                   QPoint(1, 8), QPoint(61, 21), QPoint(68, 14)}) {
    EXPECT_TRUE(Contains(normal[0].points, p)) << p.x() << "," << p.y();
  }
  EXPECT_EQ(normal[0].points.front(), normal[0].points.back());  // closed

  const auto hot = FrameStrokes(false, kStateHot, w, h);
  const auto active = StrokesIn(hot, TFrameColor::kActive);
  for (QPoint p :
       {QPoint(8, 2), QPoint(7, 3), QPoint(6, 3), QPoint(3, 6), QPoint(3, 7), QPoint(2, 8)}) {
    EXPECT_TRUE(Contains(active, p)) << p.x() << "," << p.y();
  }
  EXPECT_FALSE(StrokesIn(hot, TFrameColor::kActiveOutline).empty());
  for (int state : {kStateNormal, kStateHot, kStatePressed, kStatePressedOff}) {
    EXPECT_TRUE(StrokesIn(FrameStrokes(false, state, w, h), TFrameColor::kActiveOutline2).empty());
  }
}

}  // namespace
}  // namespace tessaline
