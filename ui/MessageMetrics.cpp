#include "ui/MessageMetrics.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace tessaline {
namespace {

// Every letter once in each case, so that the average does not lean on a
// few narrow or wide glyphs.
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetLength = sizeof(kAlphabet) - 1;

// Room around a button caption beyond its text.
constexpr int kButtonCaptionPadding = 8;

// Margins and sizes are given in dialog units: a quarter of the average
// character width across, an eighth of its height down.
void ApplyDialogUnits(TMessageLayout& layout) {
  const int x = layout.average_char.width();
  const int y = layout.average_char.height();
  layout.horz_margin = MulDiv(8, x, 4);
  layout.vert_margin = MulDiv(8, y, 8);
  layout.horz_spacing = MulDiv(10, x, 4);
  layout.vert_spacing = MulDiv(10, y, 8);
  layout.button_width = MulDiv(50, x, 4);
  layout.button_height = MulDiv(14, y, 8);
  layout.button_spacing = MulDiv(4, x, 4);
}

QSize AverageCharSize(const TTextMeasurer& measurer) {
  const QSize alphabet = measurer.MeasureLine(QString::fromLatin1(kAlphabet));
  return QSize(alphabet.width() / kAlphabetLength, alphabet.height());
}

// All buttons share one width, wide enough for the widest caption of the set.
int WidestButton(const TTextMeasurer& measurer, TMessageButtons buttons, int minimum_width,
                 TButtonWidths& button_widths) {
  int width = minimum_width;
  for (TMessageButton button : kAllMessageButtons) {
    if (!buttons.Contains(button)) continue;
    int& stored = button_widths[static_cast<std::size_t>(button)];
    if (stored == 0) {
      stored = measurer.MeasureLine(MessageButtonCaption(button)).width() + kButtonCaptionPadding;
    }
    width = std::max(width, stored);
  }
  return width;
}

void SizeClientArea(TMessageLayout& layout, const TMessageLayoutRequest& request) {
  layout.icon_and_text = layout.text;
  if (request.has_icon) {
    layout.icon_and_text.rwidth() += kMessageIconSize + layout.horz_spacing;
    layout.icon_and_text.setHeight(std::max(layout.icon_and_text.height(), kMessageIconSize));
  }
  const int count = request.buttons.Count();
  layout.button_group_width =
      count == 0 ? 0 : count * layout.button_width + (count - 1) * layout.button_spacing;
  layout.client.setWidth(std::max(layout.icon_and_text.width(), layout.button_group_width) +
                         2 * layout.horz_margin);
  layout.client.setHeight(layout.icon_and_text.height() + layout.button_height +
                          layout.vert_spacing + 2 * layout.vert_margin);
  layout.form_position = QPoint(request.screen.width() / 2 - layout.client.width() / 2,
                                request.screen.height() / 2 - layout.client.height() / 2);
}

// Left to right the icon comes first and the message after it.  Right to left
// both are mirrored, so that the message does not run under the icon.
void PlaceIconAndMessage(TMessageLayout& layout, const TMessageLayoutRequest& request) {
  const int client_width = layout.client.width();
  if (request.has_icon) {
    int image_left = layout.horz_margin;
    if (request.right_to_left) image_left = client_width - image_left - kMessageIconSize;
    layout.image = QRect(image_left, layout.vert_margin, kMessageIconSize, kMessageIconSize);
  }
  int message_left = layout.icon_and_text.width() - layout.text.width() + layout.horz_margin;
  if (request.right_to_left) message_left = client_width - message_left - layout.text.width();
  layout.message = QRect(QPoint(message_left, layout.vert_margin), layout.text);
}

void PlaceButtons(TMessageLayout& layout, TMessageButtons buttons) {
  int x = (layout.client.width() - layout.button_group_width) / 2;
  const int y = layout.icon_and_text.height() + layout.vert_margin + layout.vert_spacing;
  for (TMessageButton button : kAllMessageButtons) {
    if (!buttons.Contains(button)) continue;
    layout.buttons[static_cast<std::size_t>(button)] =
        QRect(x, y, layout.button_width, layout.button_height);
    x += layout.button_width + layout.button_spacing;
  }
}

}  // namespace

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = std::int64_t{number} * numerator;
  const std::int64_t magnitude =
      (std::llabs(product) + std::llabs(denominator) / 2) / std::llabs(denominator);
  const std::int64_t result = (product < 0) != (denominator < 0) ? -magnitude : magnitude;
  if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min()) {
    return -1;
  }
  return static_cast<int>(result);
}

TMessageLayout LayoutMessageForm(const TTextMeasurer& measurer,
                                 const TMessageLayoutRequest& request,
                                 TButtonWidths& button_widths) {
  TMessageLayout layout;
  layout.average_char = AverageCharSize(measurer);
  ApplyDialogUnits(layout);
  layout.button_width = WidestButton(measurer, request.buttons, layout.button_width, button_widths);
  layout.text = measurer.MeasureWrapped(request.message, request.screen.width() / 2);
  SizeClientArea(layout, request);
  PlaceIconAndMessage(layout, request);
  PlaceButtons(layout, request.buttons);
  return layout;
}

}  // namespace tessaline
