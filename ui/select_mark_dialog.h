// SPDX-License-Identifier: MIT
// SelectMarkDialog ("Select mark"): one line of the mark names offered.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace drumplot {

class SelectMarkDialog final : public QDialog {
 public:
  explicit SelectMarkDialog(QWidget* parent = nullptr);

  void load(const std::vector<std::string>& names);  // nothing chosen yet
  int chosenLine() const;  // after "&Select": the line's index, -1 when none is chosen

 private:
  QListWidget* list_;
};

}  // namespace drumplot
