// SPDX-License-Identifier: MIT
// The table of a board import.
#include "ui/board_import_dialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/qt_conversions.h"

namespace drumplot {

namespace {

enum Column { kFile, kRole, kLayer, kHow, kColumns };

}  // namespace

BoardImportDialog::BoardImportDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Import board"));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, kColumns, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Role"),
                                     QStringLiteral("Layer"), QStringLiteral("How / why")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_);
  note_ = new QLabel(this);
  note_->setWordWrap(true);
  layout->addWidget(note_);
  DialogButtons buttons = dialogButtons(this, QStringLiteral("Import"), QStringLiteral("Cancel"));
  import_ = buttons.ok;
  connect(import_, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(buttons.row);
  resize(800, 420);
}

void BoardImportDialog::load(const BoardImportPlan& plan) {
  table_->setRowCount(static_cast<int>(plan.files.size()));
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const BoardFile& f = plan.files[i];
    const auto row = static_cast<int>(i);
    table_->setItem(row, kFile, new QTableWidgetItem(toQString(f.name)));
    table_->setItem(row, kRole, new QTableWidgetItem(f.role ? toQString(roleName(*f.role)) : "-"));
    table_->setItem(row, kLayer,
                    new QTableWidgetItem(f.layer ? QString::number(f.layer) : QStringLiteral("-")));
    table_->setItem(row, kHow, new QTableWidgetItem(toQString(placementNote(plan, i))));
  }
  table_->resizeColumnsToContents();

  const std::string problem = importProblem(plan);
  note_->setText(QStringLiteral("%1 of %2 files placed. %3")
                     .arg(plan.placedCount())
                     .arg(plan.files.size())
                     .arg(toQString(problem)));
  import_->setEnabled(problem.empty());
}

}  // namespace drumplot
