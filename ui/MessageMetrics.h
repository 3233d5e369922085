// The layout of the message dialog as plain computations: the average
// character size of the form font, the margins and spacings derived from it,
// the button width, and the places of icon, message and buttons.  Text is
// measured through TTextMeasurer, so that the numbers can be checked without
// a display.
#pragma once

#include <array>

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "ui/MessageKinds.h"

namespace tessaline {

// Measures text in the form font.
class TTextMeasurer {
 public:
  virtual ~TTextMeasurer() = default;
  // Size of `text` on one line.  An "&" marks the next letter as accelerator
  // and takes no room ("&&" stands for one "&").
  virtual QSize MeasureLine(const QString& text) const = 0;
  // Size of `text` taken literally, tabs expanded, wrapped at word boundaries
  // to `width`.  Wider than `width` only when a single word is.
  virtual QSize MeasureWrapped(const QString& text, int width) const = 0;
};

// number × numerator / denominator rounded to the nearest integer, halves
// away from zero; -1 when the denominator is 0 or the result overflows.
int MulDiv(int number, int numerator, int denominator);

// Width in pixels of each button kind's caption plus its padding, indexed by
// ordinal; 0 while not yet measured.
using TButtonWidths = std::array<int, kMessageButtonCount>;

inline constexpr int kMessageIconSize = 32;

struct TMessageLayoutRequest {
  QString message;
  bool has_icon = false;
  TMessageButtons buttons;
  QSize screen;
  bool right_to_left = false;
};

struct TMessageLayout {
  // Average character size of the form font, from which the rest derives.
  QSize average_char;
  int horz_margin = 0;
  int vert_margin = 0;
  int horz_spacing = 0;
  int vert_spacing = 0;
  int button_width = 0;
  int button_height = 0;
  int button_spacing = 0;

  QSize text;           // the message, wrapped
  QSize icon_and_text;  // the message with the icon beside it
  int button_group_width = 0;
  QSize client;
  // Top-left that centres a form of the client size on the screen.
  QPoint form_position;

  QRect image;    // empty without icon
  QRect message;  // the label
  // Bounds of each button in the set, by ordinal; empty for the others.
  std::array<QRect, kMessageButtonCount> buttons;
};

// Lays out a message form.  Measures the caption of each button of the set
// whose entry in `button_widths` is still 0 and stores it there; entries
// already measured are reused as they are.
TMessageLayout LayoutMessageForm(const TTextMeasurer& measurer,
                                 const TMessageLayoutRequest& request,
                                 TButtonWidths& button_widths);

}  // namespace tessaline
