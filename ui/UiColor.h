// Colours of the system: 32-bit values 0x00BBGGRR, or a system colour code
// (0x80000000 | index) that follows the desktop palette.  ToQColor is the one
// place where they become QColor.
#pragma once

#include <QColor>
#include <cstdint>

namespace tessaline {

using TColor = std::uint32_t;

constexpr TColor kSystemColorFlag = 0x80000000u;

// System colour codes used by the widgets.
constexpr TColor clWindow = kSystemColorFlag | 5;
constexpr TColor clWindowText = kSystemColorFlag | 8;
constexpr TColor clHighlight = kSystemColorFlag | 13;
constexpr TColor clHighlightText = kSystemColorFlag | 14;
constexpr TColor clBtnFace = kSystemColorFlag | 15;
constexpr TColor clBtnShadow = kSystemColorFlag | 16;
constexpr TColor clGrayText = kSystemColorFlag | 17;
constexpr TColor clBtnText = kSystemColorFlag | 18;
constexpr TColor clBtnHighlight = kSystemColorFlag | 20;

// Plain colours resolve directly; system colour codes resolve against the
// application palette.  Unknown codes give black.
QColor ToQColor(TColor color);

// The 0x00BBGGRR value of an opaque colour (alpha is dropped).
TColor FromQColor(const QColor& color);

}  // namespace tessaline
