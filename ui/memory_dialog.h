// SPDX-License-Identifier: MIT
// MemoryDialog ("Memory setting"): megabytes the rasterizer may use.
#pragma once

#include <QDialog>
#include <cstdint>

class QSpinBox;

namespace drumplot {

class MemoryDialog final : public QDialog {
 public:
  explicit MemoryDialog(QWidget* parent = nullptr);

  void load(int32_t megabytes);
  int32_t result() const;  // 10 to 768

 private:
  QSpinBox* spe_;
};

}  // namespace drumplot
