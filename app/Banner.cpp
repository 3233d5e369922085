// The banner: a stream of data blocks flowing from the left into a stack of
// database discs on the right, in the window's orange on a pale ground.  It
// is painted in full colour and then reduced to a fixed 256-colour palette,
// the form the window's picture has always had.
#include "app/Banner.h"

#include <QColor>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

namespace tessaline {
namespace {

const QColor kOrange(255, 101, 0);
const QColor kDeepOrange(150, 55, 0);
const QColor kPaleOrange(255, 238, 224);

// 160 steps from white to orange, 64 from orange to a deep brown, and 32
// greys: every colour the picture uses lies close to one of them.
QList<QRgb> BannerPalette() {
  QList<QRgb> palette;
  auto ramp = [&palette](const QColor& from, const QColor& to, int steps) {
    for (int i = 0; i < steps; ++i) {
      const double t = steps == 1 ? 0.0 : static_cast<double>(i) / (steps - 1);
      palette.append(qRgb(static_cast<int>(from.red() + t * (to.red() - from.red())),
                          static_cast<int>(from.green() + t * (to.green() - from.green())),
                          static_cast<int>(from.blue() + t * (to.blue() - from.blue()))));
    }
  };
  ramp(Qt::white, kOrange, 160);
  ramp(kOrange, QColor(60, 20, 0), 64);
  ramp(QColor(40, 40, 40), QColor(235, 235, 235), 32);
  return palette;
}

void PaintGround(QPainter& painter) {
  QLinearGradient ground(0, 0, kBannerWidth, 0);
  ground.setColorAt(0.0, Qt::white);
  ground.setColorAt(0.55, Qt::white);
  ground.setColorAt(1.0, kPaleOrange);
  painter.fillRect(QRectF(0, 0, kBannerWidth, kBannerHeight), ground);
}

// Three rows of small blocks that grow denser and stronger towards the
// discs; the gaps come from a fixed pseudo-random sequence.
void PaintDataStream(QPainter& painter) {
  unsigned state = 0x2F6E2B1u;
  constexpr int kBlock = 5;
  constexpr int kStep = 8;
  constexpr int kStreamEnd = 262;
  for (int row = 0; row < 3; ++row) {
    const int y = 15 + row * 9;
    for (int x = 14 + row * 3; x < kStreamEnd; x += kStep) {
      state = state * 1103515245u + 12345u;
      const double strength = static_cast<double>(x) / kStreamEnd;
      if (((state >> 16) % 100) > 35 + 60 * strength) continue;
      QColor block = kOrange;
      block.setAlphaF(0.15 + 0.85 * strength);
      painter.fillRect(QRectF(x, y, kBlock, kBlock), block);
    }
  }
  QPainterPath arrow;
  arrow.moveTo(266, 15);
  arrow.lineTo(280, 22);
  arrow.lineTo(266, 29);
  arrow.closeSubpath();
  painter.fillPath(arrow, kOrange);
}

// One disc of the stack: a shaded band under a lighter top.
void PaintDisc(QPainter& painter, double top, double height) {
  constexpr double kLeft = 292;
  constexpr double kWidth = 54;
  constexpr double kRim = 10;
  QLinearGradient shade(kLeft, 0, kLeft + kWidth, 0);
  shade.setColorAt(0.0, kDeepOrange);
  shade.setColorAt(0.35, kOrange);
  shade.setColorAt(1.0, kDeepOrange);
  QPainterPath band;
  band.moveTo(kLeft, top + kRim / 2);
  band.lineTo(kLeft, top + height);
  band.arcTo(QRectF(kLeft, top + height - kRim / 2, kWidth, kRim), 180, 180);
  band.lineTo(kLeft + kWidth, top + kRim / 2);
  band.closeSubpath();
  painter.fillPath(band, shade);
  painter.setPen(QPen(QColor(255, 200, 160), 1.0));
  painter.setBrush(QColor(255, 150, 80));
  painter.drawEllipse(QRectF(kLeft, top, kWidth, kRim));
}

void PaintDatabase(QPainter& painter) {
  for (int disc = 2; disc >= 0; --disc) PaintDisc(painter, 6 + disc * 12, 11);
}

}  // namespace

QImage MakeBannerImage() {
  QImage canvas(kBannerWidth, kBannerHeight, QImage::Format_ARGB32_Premultiplied);
  {
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintGround(painter);
    PaintDataStream(painter);
    PaintDatabase(painter);
  }
  return canvas.convertToFormat(QImage::Format_Indexed8, BannerPalette(), Qt::DiffuseDither);
}

}  // namespace tessaline
