// SPDX-License-Identifier: MIT
// Ruler: a scale along one edge of the plotting area, numbered in the
// display unit and captioned with the unit text.
#pragma once

#include <QWidget>

namespace drumplot {

class Ruler final : public QWidget {
 public:
  static constexpr int kThickness_px = 24;

  Ruler(Qt::Orientation orientation, QWidget* parent);

  // `unitsPerPixel` display units per screen pixel, counted from `origin_px`
  // along the ruler (where the plotting area begins).
  void setScale(const QString& caption, double unitsPerPixel, int origin_px);
  QString caption() const { return caption_; }
  double unitsPerPixel() const { return unitsPerPixel_; }

  // The spacing of numbered ticks in display units: 1, 2 or 5 times a power
  // of ten, at least `minimumGap_px` pixels apart.
  static double tickStep(double unitsPerPixel, int minimumGap_px);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Qt::Orientation orientation_;
  QString caption_;
  double unitsPerPixel_ = 0.0;
  int origin_px_ = 0;
};

}  // namespace drumplot
