// SPDX-License-Identifier: MIT
// PanelizeDialog ("Panelize"): further copies to the right and downwards
// and the gaps between them. It is left only by Ok or Cancel.
#pragma once

#include <QDialog>
#include <string>

#include "job/panelize.h"

class QLabel;
class QSpinBox;

namespace drumplot {

class NumberField;

class PanelizeDialog final : public QDialog {
 public:
  explicit PanelizeDialog(QWidget* parent = nullptr);

  // Counts back to 0, distances to 5.0 for "mm" and 0.2 otherwise.
  void load(const std::string& unitText);
  PanelizeRequest result() const;  // distances in millimetres

  void reject() override;  // Escape and the close box are refused

 protected:
  void keyPressEvent(QKeyEvent* event) override;  // Enter moves to the next field

 private:
  void acceptTyped();

  QSpinBox* repeatX_;
  QSpinBox* repeatY_;
  NumberField* distanceX_;
  NumberField* distanceY_;
  QLabel* unitX_;
  QLabel* unitY_;
  std::string unitText_;
};

}  // namespace drumplot
