// SPDX-License-Identifier: MIT
// ApertureTableDialog ("Aperture table"): the working aperture table of the
// active layer, D10 to D999, with its cells edited in place. Starting to edit
// a cell marks the row (a save writes it) and beeps.
#pragma once

#include <QDialog>

#include "apertures/working_aperture_table.h"

class QLabel;

namespace drumplot {

class ApertureTableModel;
class FrozenColumnTable;
class UserPrompts;

inline constexpr const char* kSaveApertureQuestion = "Save change into aperture file ?";

class ApertureTableDialog final : public QDialog {
 public:
  // Columns of the table (the row heading is the table's own).
  enum Column { DCodeColumn, ShapeColumn, XColumn, YColumn, AngleColumn, NameColumn, ColumnCount };

  explicit ApertureTableDialog(UserPrompts& prompts, QWidget* parent = nullptr);
  ~ApertureTableDialog() override;

  // A fresh table: no row edited, the save flag cleared, the cursor on the
  // first row's "D-code" cell. The line above the table names what it lists
  // (`listed`: "Board 1 core.GTL, layer 1 Top_copper").
  void load(const WorkingApertureTable& table, const QString& listed);
  const WorkingApertureTable& result() const;
  // Set only when "&Save" was answered with Yes.
  bool saveRequested() const { return save_; }

  FrozenColumnTable* table() const { return view_; }
  QLabel* title() const { return title_; }

 private:
  void askToSave();

  UserPrompts& prompts_;
  ApertureTableModel* model_;
  QLabel* title_;
  FrozenColumnTable* view_;
  bool save_ = false;
};

}  // namespace drumplot
