#include "ui/MessageMetrics.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

namespace tessaline {
namespace {

using B = TMessageButton;

// Every character 7 pixels wide and 16 high, so that the alphabet gives
// X = 7, Y = 16.  Single lines drop accelerator marks; wrapped text answers
// with a size the test chooses and records the width it was asked for.
class TFakeMeasurer : public TTextMeasurer {
 public:
  QSize MeasureLine(const QString& text) const override {
    ++line_calls;
    const QString visible = QString(text).remove(QLatin1Char('&'));
    const auto wide = line_widths.find(visible);
    return QSize(wide != line_widths.end() ? wide->second : 7 * int(visible.size()), 16);
  }
  QSize MeasureWrapped(const QString&, int width) const override {
    wrap_width = width;
    return wrapped;
  }

  QSize wrapped{35, 16};
  std::map<QString, int> line_widths;  // overrides 7 per character
  mutable int line_calls = 0;
  mutable int wrap_width = -1;
};

TMessageLayout Layout(const TFakeMeasurer& measurer, TMessageButtons buttons, TButtonWidths& widths,
                      bool has_icon = true, bool right_to_left = false) {
  return LayoutMessageForm(
      measurer, {QStringLiteral("Hello"), has_icon, buttons, QSize(1024, 768), right_to_left},
      widths);
}

QRect BoundsOf(const TMessageLayout& layout, TMessageButton button) {
  return layout.buttons[static_cast<std::size_t>(button)];
}

TEST(MulDiv, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(10, 7, 4), 18);  // 17.5
  EXPECT_EQ(MulDiv(5, 1, 4), 1);    // 1.25
  EXPECT_EQ(MulDiv(5, 1, 3), 2);    // 1.67
  EXPECT_EQ(MulDiv(-10, 7, 4), -18);
  EXPECT_EQ(MulDiv(10, 7, -4), -18);
  EXPECT_EQ(MulDiv(1 << 30, 2, 2), 1 << 30);  // the product may pass 32 bits
  EXPECT_EQ(MulDiv(-(1 << 30), 8, 4), std::numeric_limits<int>::min());
  EXPECT_EQ(MulDiv(1 << 30, 8, 4), -1);  // 2^31 does not fit
  EXPECT_EQ(MulDiv(8, 7, 0), -1);
}

TEST(MessageLayout, ShortMessageTakesButtonRowWidth) {
  TFakeMeasurer measurer;  // message 35 × 16
  TButtonWidths widths{};
  const TMessageLayout layout = Layout(measurer, {B::OK}, widths);

  EXPECT_EQ(layout.average_char, QSize(7, 16));  // 52 letters × 7 / 52
  EXPECT_EQ(layout.horz_margin, 14);             // 8 × 7 / 4
  EXPECT_EQ(layout.vert_margin, 16);             // 8 × 16 / 8
  EXPECT_EQ(layout.horz_spacing, 18);            // 10 × 7 / 4 = 17.5
  EXPECT_EQ(layout.vert_spacing, 20);            // 10 × 16 / 8
  EXPECT_EQ(layout.button_width, 88);            // 50 × 7 / 4 = 87.5; "OK" needs 14 + 8
  EXPECT_EQ(layout.button_height, 28);           // 14 × 16 / 8
  EXPECT_EQ(layout.button_spacing, 7);           // 4 × 7 / 4

  EXPECT_EQ(measurer.wrap_width, 512);                // half the screen
  EXPECT_EQ(layout.icon_and_text, QSize(85, 32));     // 35 + 32 + 18; the icon's height
  EXPECT_EQ(layout.client, QSize(116, 112));          // 88 + 2 × 14; 32 + 28 + 20 + 2 × 16
  EXPECT_EQ(layout.form_position, QPoint(454, 328));  // 512 - 58, 384 - 56
  EXPECT_EQ(layout.image, QRect(14, 16, 32, 32));
  EXPECT_EQ(layout.message, QRect(64, 16, 35, 16));  // 85 - 35 + 14: after the icon
  EXPECT_EQ(BoundsOf(layout, B::OK), QRect(14, 68, 88, 28));

  // 415 / 52 = 7.98: the average is cut, not rounded.
  measurer.line_widths[QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")] =
      415;
  EXPECT_EQ(Layout(measurer, {B::OK}, widths).average_char.width(), 7);
}

TEST(MessageLayout, WideMessageSetsWidthAndButtonsAreCentred) {
  TFakeMeasurer measurer;
  measurer.wrapped = QSize(500, 64);
  TButtonWidths widths{};
  const TMessageLayout layout = Layout(measurer, {B::Yes, B::No, B::Cancel}, widths);

  EXPECT_EQ(layout.button_group_width, 3 * 88 + 2 * 7);
  EXPECT_EQ(layout.client, QSize(500 + 32 + 18 + 2 * 14, 64 + 28 + 20 + 2 * 16));
  EXPECT_EQ(layout.message, QRect(64, 16, 500, 64));
  // (578 - 278) / 2 = 150, then a button width and a spacing further each.
  EXPECT_EQ(BoundsOf(layout, B::Yes), QRect(150, 100, 88, 28));
  EXPECT_EQ(BoundsOf(layout, B::No), QRect(245, 100, 88, 28));
  EXPECT_EQ(BoundsOf(layout, B::Cancel), QRect(340, 100, 88, 28));
  EXPECT_TRUE(BoundsOf(layout, B::OK).isNull());

  // Without an icon nothing is reserved for it, not even its height; without
  // buttons the row keeps its height.
  const TMessageLayout plain = Layout(measurer, {}, widths, /*has_icon=*/false);
  EXPECT_TRUE(plain.image.isNull());
  EXPECT_EQ(plain.client, QSize(500 + 2 * 14, 64 + 28 + 20 + 2 * 16));
  EXPECT_EQ(plain.message.topLeft(), QPoint(14, 16));
}

TEST(MessageLayout, RightToLeftMirrorsIconAndMessage) {
  TFakeMeasurer measurer;
  measurer.wrapped = QSize(300, 48);
  TButtonWidths widths{};
  const TMessageLayout layout = Layout(measurer, {B::OK}, widths, true, /*right_to_left=*/true);

  ASSERT_EQ(layout.client.width(), 300 + 32 + 18 + 2 * 14);
  EXPECT_EQ(layout.image, QRect(378 - 14 - 32, 16, 32, 32));
  EXPECT_EQ(layout.message, QRect(14, 16, 300, 48));  // 378 - 64 - 300
  EXPECT_FALSE(layout.message.intersects(layout.image));
}

TEST(ButtonWidths, WidestCaptionWidensEveryButton) {
  TFakeMeasurer measurer;
  measurer.line_widths[QStringLiteral("Yes to All")] = 100;
  TButtonWidths widths{};
  const TMessageLayout layout = Layout(measurer, {B::No, B::YesToAll}, widths);

  EXPECT_EQ(widths[static_cast<int>(B::No)], 14 + 8);  // "No" without its "&"
  EXPECT_EQ(widths[static_cast<int>(B::YesToAll)], 108);
  EXPECT_EQ(BoundsOf(layout, B::No).width(), 108);
  EXPECT_EQ(layout.button_group_width, 2 * 108 + 7);
}

TEST(ButtonWidths, MeasuredOnceThenReused) {
  TFakeMeasurer measurer;
  TButtonWidths widths{};
  Layout(measurer, {B::Yes, B::No}, widths);
  EXPECT_EQ(measurer.line_calls, 1 + 2);  // the alphabet, then two captions

  // A wider font later changes nothing stored: only Cancel is measured.
  measurer.line_widths[QStringLiteral("Yes")] = 500;
  measurer.line_calls = 0;
  EXPECT_EQ(Layout(measurer, {B::Yes, B::Cancel}, widths).button_width, 88);
  EXPECT_EQ(measurer.line_calls, 1 + 1);
  EXPECT_EQ(widths[static_cast<int>(B::Yes)], 21 + 8);
}

TEST(MessageKinds, ButtonSetsAndTheirDefaultAndCancelButtons) {
  EXPECT_EQ(TMessageButtons({B::OK}).Bits(), 0x0004);
  EXPECT_EQ(TMessageButtons({B::Yes, B::Help}).Bits(), 0x0401);
  EXPECT_EQ(TMessageButtons::FromBits(0xFFFF).Count(), 11);  // bits 11 to 15 stand for nothing
  EXPECT_FALSE(TMessageButtons({B::OK}).Contains(static_cast<B>(40)));

  EXPECT_EQ(DefaultMessageButton({B::Yes, B::No, B::Cancel}), B::Yes);
  EXPECT_EQ(CancelMessageButton({B::Yes, B::No, B::Cancel}), B::Cancel);
  EXPECT_EQ(DefaultMessageButton({B::Cancel, B::Help}), std::nullopt);
}

}  // namespace
}  // namespace tessaline
