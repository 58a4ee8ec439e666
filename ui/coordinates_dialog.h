// SPDX-License-Identifier: MIT
// CoordinatesDialog: two lengths in the display unit. It serves Move to
// (" New board location coordinates": X and "- Y") and the relative move of
// locked boards ("dX" and "- dY").
#pragma once

#include <QDialog>

#include "job/job_settings.h"

class QLabel;

namespace drumplot {

class NumberField;

// A position or a shift, inches.
struct InchPoint {
  double x = 0.0;
  double y = 0.0;
};

class CoordinatesDialog final : public QDialog {
 public:
  CoordinatesDialog(const QString& title, const QString& xLabel, const QString& yLabel,
                    const QString& note, QWidget* parent = nullptr);

  // Shows the values (inches) in the display unit, labelled "mm" or "inch".
  void load(InchPoint inches, const JobSettings& settings);
  InchPoint result() const;  // inches

 private:
  void acceptTyped();

  NumberField* x_;
  NumberField* y_;
  QLabel* xUnit_;
  QLabel* yUnit_;
  JobSettings settings_;  // as loaded: the display unit the fields are in
};

}  // namespace drumplot
