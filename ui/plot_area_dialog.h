// SPDX-License-Identifier: MIT
// PlotAreaDialog ("Plotting area size"): drum circumference and drum axis
// in the display unit.
#pragma once

#include <QDialog>

#include "job/job_settings.h"

class QLabel;

namespace drumplot {

class NumberField;

// The plotting area's sides, inches.
struct PlotAreaSize {
  double PlotWidth = 0.0;   // drum circumference
  double PlotHeight = 0.0;  // drum axis
};

class PlotAreaDialog final : public QDialog {
 public:
  explicit PlotAreaDialog(QWidget* parent = nullptr);

  // Shows PlotWidth and PlotHeight in the display unit: inches (4 to 25)
  // for "Inch", otherwise millimetres (100 to 650 and 100 to 520).
  void load(const JobSettings& settings);
  PlotAreaSize result() const;

 private:
  void acceptTyped();

  NumberField* circumference_;
  NumberField* axis_;
  QLabel* circumferenceUnit_;
  QLabel* axisUnit_;
  JobSettings settings_;  // as loaded: the display unit the fields are in
};

}  // namespace drumplot
