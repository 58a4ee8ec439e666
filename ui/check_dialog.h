// SPDX-License-Identifier: MIT
// CheckDialog ("Check job"): the check before plotting, problem by problem
// (errors first in colour), with the film's size, bytes, memory and time.
// Shown by Job > Check job with "Close", and before an export that the
// check found problems in, with "Go on" and "Stop".
#pragma once

#include <QDialog>

#include "output/preflight.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace drumplot {

class CheckDialog final : public QDialog {
 public:
  enum class Mode {
    Report,        // "Close"
    BeforeExport,  // "Go on" (accepts) and "Stop" (the default)
  };

  explicit CheckDialog(QWidget* parent = nullptr);

  void load(Mode mode, const PreflightReport& report, int dpi);

  QTableWidget* table() const { return table_; }
  QLabel* summary() const { return summary_; }
  QPushButton* goOnButton() const { return goOn_; }
  QPushButton* stopButton() const { return stop_; }

 private:
  QTableWidget* table_;
  QLabel* summary_;
  QPushButton* goOn_;
  QPushButton* stop_;
};

}  // namespace drumplot
