// SPDX-License-Identifier: MIT
// DataFormatDialog ("Data Format"): the data format new boards are read with.
#pragma once

#include <QDialog>

#include "job/board.h"

class QButtonGroup;
class QSpinBox;

namespace drumplot {

class DataFormatDialog final : public QDialog {
 public:
  explicit DataFormatDialog(QWidget* parent = nullptr);

  void load(const DataFormat& format);
  DataFormat result() const;

 private:
  QSpinBox* intDigits_;
  QSpinBox* decDigits_;
  QButtonGroup* type_;   // 0 Absolute, 1 Incremental
  QButtonGroup* zeros_;  // 0 Leading, 1 Trailing, 2 None
  QButtonGroup* units_;  // 0 English, 1 Metric
};

}  // namespace drumplot
