// SPDX-License-Identifier: MIT
// The mark drill dialog.
#include "ui/mark_drill_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/qt_conversions.h"

namespace drumplot {

MarkDrillDialog::MarkDrillDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Assign drill into mark"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(3);  // rows 25 pixels apart
  for (size_t row = 0; row < tools_.size(); ++row) {
    names_[row] = new QLabel(this);
    names_[row]->setFixedWidth(160);
    tools_[row] = new QLineEdit(this);
    tools_[row]->setObjectName(QStringLiteral("Tool %1").arg(row + 1));
    tools_[row]->setFixedWidth(160);
    tools_[row]->setMaxLength(static_cast<int>(kMaxMarkChars));
    grid->addWidget(names_[row], static_cast<int>(row), 0);
    grid->addWidget(tools_[row], static_cast<int>(row), 1);
  }
  layout->addLayout(grid);
  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(buttons.row);
}

void MarkDrillDialog::load(const MarkDrillTable& table) {
  table_ = table;
  for (size_t row = 0; row < table.size(); ++row) {
    names_[row]->setText(toQString(table[row].MarkDrillName));
    tools_[row]->setText(toQString(table[row].MarkDrillTool));
  }
}

MarkDrillTable MarkDrillDialog::result() const {
  MarkDrillTable table = table_;
  for (size_t row = 0; row < table.size(); ++row) {
    table[row].MarkDrillTool = cutText(toStdString(tools_[row]->text()), kMaxMarkChars);
  }
  return table;
}

}  // namespace drumplot
