// SPDX-License-Identifier: MIT
// The unit dialog.
#include "ui/unit_dialog.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"

namespace drumplot {

UnitDialog::UnitDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Select unit"));
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(QStringLiteral("&Unit"), this);
  auto* groupLayout = new QVBoxLayout(group);
  mm_ = new QRadioButton(QStringLiteral("mm"), group);
  inch_ = new QRadioButton(QStringLiteral("inch"), group);
  mm_->setChecked(true);
  groupLayout->addWidget(mm_);
  groupLayout->addWidget(inch_);
  layout->addWidget(group);
  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(buttons.row);
}

void UnitDialog::load(const std::string& unitText) {
  if (unitText == "mm") mm_->setChecked(true);
  if (unitText == "Inch") inch_->setChecked(true);
}

std::string UnitDialog::result() const {
  return inch_->isChecked() ? "Inch" : "mm";
}

}  // namespace drumplot
