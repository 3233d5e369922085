#include "ui/UiColor.h"

#include <QGuiApplication>
#include <QPalette>

namespace tessaline {

namespace {

QColor SystemColor(unsigned index) {
  const QPalette palette = QGuiApplication::palette();
  switch (index) {
    case clWindow & 0xFF:
      return palette.color(QPalette::Base);
    case clWindowText & 0xFF:
      return palette.color(QPalette::WindowText);
    case clHighlight & 0xFF:
      return palette.color(QPalette::Highlight);
    case clHighlightText & 0xFF:
      return palette.color(QPalette::HighlightedText);
    case clBtnFace & 0xFF:
      return palette.color(QPalette::Button);
    case clBtnShadow & 0xFF:
      return palette.color(QPalette::Dark);
    case clGrayText & 0xFF:
      return palette.color(QPalette::Disabled, QPalette::Text);
    case clBtnText & 0xFF:
      return palette.color(QPalette::ButtonText);
    case clBtnHighlight & 0xFF:
      return palette.color(QPalette::Light);
    default:
      return QColor(Qt::black);
  }
}

}  // namespace

QColor ToQColor(TColor color) {
  if (color & kSystemColorFlag) return SystemColor(color & 0xFF);
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor FromQColor(const QColor& color) {
  return static_cast<TColor>(color.red()) | static_cast<TColor>(color.green()) << 8 |
         static_cast<TColor>(color.blue()) << 16;
}

}  // namespace tessaline
