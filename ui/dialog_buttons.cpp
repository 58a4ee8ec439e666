// SPDX-License-Identifier: MIT
// The OK and Cancel row of the small dialogs.
#include "ui/dialog_buttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace drumplot {

DialogButtons dialogButtons(QDialog* dialog, const QString& okText, const QString& cancelText) {
  DialogButtons buttons{new QHBoxLayout, new QPushButton(okText, dialog),
                        new QPushButton(cancelText, dialog)};
  buttons.ok->setDefault(true);
  buttons.row->addStretch();
  buttons.row->addWidget(buttons.ok);
  buttons.row->addWidget(buttons.cancel);
  QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace drumplot
