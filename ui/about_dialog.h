// SPDX-License-Identifier: MIT
// AboutDialog: the program's name, version and purpose.
#pragma once

#include <QDialog>

namespace drumplot {

class AboutDialog final : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace drumplot
