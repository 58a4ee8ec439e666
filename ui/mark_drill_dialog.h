// SPDX-License-Identifier: MIT
// MarkDrillDialog ("Assign drill into mark"): the tool line written before
// each mark's hits, one row per mark name.
#pragma once

#include <QDialog>
#include <array>

#include "drill/drill_panel.h"

class QLabel;
class QLineEdit;

namespace drumplot {

class MarkDrillDialog final : public QDialog {
 public:
  explicit MarkDrillDialog(QWidget* parent = nullptr);

  void load(const MarkDrillTable& table);
  // The names as loaded, the tools as edited (each at most 64 characters).
  MarkDrillTable result() const;

  QLineEdit* toolField(int row) const { return tools_.at(static_cast<size_t>(row)); }

 private:
  MarkDrillTable table_;
  std::array<QLabel*, kMarkDrillCount> names_;
  std::array<QLineEdit*, kMarkDrillCount> tools_;
};

}  // namespace drumplot
