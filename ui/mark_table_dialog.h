// SPDX-License-Identifier: MIT
// MarkTableDialog: the names and Gerber files of the 10 registration marks,
// edited as a working copy.
#pragma once

#include <QDialog>

#include "job/job_settings.h"

class QTableWidget;

namespace drumplot {

class UserPrompts;

class MarkTableDialog final : public QDialog {
 public:
  explicit MarkTableDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  void load(const MarkTable& marks);
  MarkTable result() const;

  // Ok and Cancel end any cell edit first.
  void accept() override;
  void reject() override;

 private:
  void setPathName();  // "&Set Path-Name": a file into the current row's path
  void endCellEdit();

  UserPrompts& prompts_;
  QTableWidget* table_;
};

}  // namespace drumplot
