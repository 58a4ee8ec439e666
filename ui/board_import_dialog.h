// SPDX-License-Identifier: MIT
// BoardImportDialog ("Import board"): what a board import found, file by
// file (role, layer, and how it was told or why the file is not placed),
// with "Import" to add the board and "Cancel". "Import" is offered only
// when the files make one board.
#pragma once

#include <QDialog>

#include "job/board_import.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace drumplot {

class BoardImportDialog final : public QDialog {
 public:
  explicit BoardImportDialog(QWidget* parent = nullptr);

  void load(const BoardImportPlan& plan);

  QTableWidget* table() const { return table_; }
  QPushButton* importButton() const { return import_; }
  QLabel* note() const { return note_; }

 private:
  QTableWidget* table_;
  QLabel* note_;
  QPushButton* import_;
};

}  // namespace drumplot
