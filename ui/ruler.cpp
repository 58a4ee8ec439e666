// SPDX-License-Identifier: MIT
// Rulers along the plotting area.
#include "ui/ruler.h"

#include <QLinearGradient>
#include <QPainter>
#include <cmath>

namespace drumplot {

namespace {

constexpr int kLabelGap_px = 50;  // numbered ticks at least this far apart
constexpr int kMinorGap_px = 5;   // minor ticks at least this far apart
constexpr int kMajorTick_px = 9;
constexpr int kMinorTick_px = 4;
const QColor kRulerDark(0xB4, 0xB4, 0xB4);
const QColor kRulerLight(0xE6, 0xE6, 0xE6);

}  // namespace

// Ruler - Scale
// ============================================================================

Ruler::Ruler(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {}

void Ruler::setScale(const QString& caption, double unitsPerPixel, int origin_px) {
  caption_ = caption;
  unitsPerPixel_ = unitsPerPixel;
  origin_px_ = origin_px;
  update();
}

double Ruler::tickStep(double unitsPerPixel, int minimumGap_px) {
  double wanted = unitsPerPixel * minimumGap_px;
  double power = std::pow(10.0, std::floor(std::log10(wanted)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= wanted * (1 - 1e-9)) return factor * power;
  }
  return 10.0 * power;
}

// Ruler - Painting
// ============================================================================

void Ruler::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  bool horizontal = orientation_ == Qt::Horizontal;
  QLinearGradient shade(0, 0, horizontal ? 0 : width(), horizontal ? height() : 0);
  shade.setColorAt(0.0, kRulerDark);
  shade.setColorAt(1.0, kRulerLight);
  painter.fillRect(rect(), shade);
  painter.setPen(Qt::darkGray);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));

  QFont small = font();
  small.setPixelSize(9);
  painter.setFont(small);
  painter.setPen(Qt::black);
  int length = horizontal ? width() : height();
  int across = horizontal ? height() : width();

  // The unit text: in the corner before the origin, or at the far end.
  if (horizontal) {
    painter.drawText(QRect(1, 0, origin_px_ - 1, across), Qt::AlignCenter, caption_);
  } else {
    painter.drawText(QRect(0, length - 14, across, 14), Qt::AlignCenter, caption_);
  }
  if (!(unitsPerPixel_ > 0.0)) return;

  double step = tickStep(unitsPerPixel_, kLabelGap_px);
  int minorParts = step / 5 / unitsPerPixel_ >= kMinorGap_px ? 5 : 2;
  double minor = step / minorParts;
  int lastTick = static_cast<int>((length - origin_px_) * unitsPerPixel_ / minor);
  for (int k = 0; k <= lastTick; ++k) {
    int at = origin_px_ + static_cast<int>(std::lround(k * minor / unitsPerPixel_));
    bool major = k % minorParts == 0;
    int tick = major ? kMajorTick_px : kMinorTick_px;
    if (horizontal) {
      painter.drawLine(at, across - tick, at, across - 1);
    } else {
      painter.drawLine(across - tick, at, across - 1, at);
    }
    if (!major) continue;
    QString number = QString::number(k / minorParts * step, 'g', 6);
    if (horizontal) {
      painter.drawText(at + 2, 10, number);
    } else {
      painter.drawText(QRect(1, at + 1, across - 2, 11), Qt::AlignLeft | Qt::AlignTop, number);
    }
  }
}

}  // namespace drumplot
