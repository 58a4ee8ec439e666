// SPDX-License-Identifier: MIT
// TechAreaDialog ("Setting  for technological area"): the distance and the
// four widths of the border around the boards.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "job/job_settings.h"

class QLabel;

namespace drumplot {

class NumberField;

class TechAreaDialog final : public QDialog {
 public:
  explicit TechAreaDialog(QWidget* parent = nullptr);

  // Millimetres for the unit "mm", inches for any other unit.
  void load(const TechArea& tech, const std::string& unitText);
  TechArea result() const;  // millimetres

 private:
  void acceptTyped();

  std::array<NumberField*, 5> fields_;  // distance, left, right, top, bottom
  std::array<QLabel*, 5> units_;
  std::string unitText_;
};

}  // namespace drumplot
