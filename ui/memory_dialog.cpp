// SPDX-License-Identifier: MIT
// The memory-setting dialog.
#include "ui/memory_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"

namespace drumplot {

MemoryDialog::MemoryDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Memory setting"));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  spe_ = new QSpinBox(this);
  spe_->setObjectName(QStringLiteral("Spe"));
  spe_->setRange(10, 768);
  row->addWidget(new QLabel(QStringLiteral("Used memory"), this));
  row->addWidget(spe_);
  row->addWidget(new QLabel(QStringLiteral("[MB]"), this));
  layout->addLayout(row);
  layout->addWidget(new QLabel(
      QStringLiteral("Used memory = approx ( computer RAM memory - 384MB )(max 768 MB)"), this));
  DialogButtons buttons = dialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(buttons.row);
}

void MemoryDialog::load(int32_t megabytes) {
  spe_->setValue(megabytes);
}

int32_t MemoryDialog::result() const {
  return spe_->value();
}

}  // namespace drumplot
