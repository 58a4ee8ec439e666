// SPDX-License-Identifier: MIT
// The mark selection dialog.
#include "ui/select_mark_dialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/qt_conversions.h"

namespace drumplot {

SelectMarkDialog::SelectMarkDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Select mark"));
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  layout->addWidget(list_);
  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Select"), QStringLiteral("&Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(buttons.row);
}

void SelectMarkDialog::load(const std::vector<std::string>& names) {
  list_->clear();
  for (const std::string& name : names) list_->addItem(toQString(name));
  list_->clearSelection();
}

int SelectMarkDialog::chosenLine() const {
  QList<QListWidgetItem*> chosen = list_->selectedItems();
  return chosen.isEmpty() ? -1 : list_->row(chosen.constFirst());
}

}  // namespace drumplot
