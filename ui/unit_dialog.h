// SPDX-License-Identifier: MIT
// UnitDialog ("Select unit"): the display unit, millimetres or inches.
#pragma once

#include <QDialog>
#include <string>

class QRadioButton;

namespace drumplot {

class UnitDialog final : public QDialog {
 public:
  explicit UnitDialog(QWidget* parent = nullptr);

  // "mm" selects "mm", "Inch" selects "inch"; any other text keeps the choice.
  void load(const std::string& unitText);
  std::string result() const;  // "mm" or "Inch"

 private:
  QRadioButton* mm_;
  QRadioButton* inch_;
};

}  // namespace drumplot
