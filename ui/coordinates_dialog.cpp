// SPDX-License-Identifier: MIT
// The two-length dialogs: Move to and the relative move of locked boards.
#include "ui/coordinates_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/number_field.h"

namespace drumplot {

CoordinatesDialog::CoordinatesDialog(const QString& title, const QString& xLabel,
                                     const QString& yLabel, const QString& note, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(title);
  constexpr double kLargest = 1.0e6;  // millimetres or inches, either way
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  x_ = new NumberField(-kLargest, kLargest, 4, NumberField::Decimals::Trimmed, this);
  x_->setObjectName(xLabel);
  y_ = new NumberField(-kLargest, kLargest, 4, NumberField::Decimals::Trimmed, this);
  y_->setObjectName(yLabel);
  xUnit_ = new QLabel(this);
  yUnit_ = new QLabel(this);
  grid->addWidget(new QLabel(xLabel, this), 0, 0);
  grid->addWidget(x_, 0, 1);
  grid->addWidget(xUnit_, 0, 2);
  grid->addWidget(new QLabel(yLabel, this), 1, 0);
  grid->addWidget(y_, 1, 1);
  grid->addWidget(yUnit_, 1, 2);
  layout->addLayout(grid);
  if (!note.isEmpty()) layout->addWidget(new QLabel(note, this));
  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &CoordinatesDialog::acceptTyped);
  layout->addLayout(buttons.row);
}

void CoordinatesDialog::load(InchPoint inches, const JobSettings& settings) {
  settings_ = settings;
  x_->setValue(settings.toDisplay(inches.x));
  y_->setValue(settings.toDisplay(inches.y));
  QString unit = settings.unitCode == 1 ? QStringLiteral("inch") : QStringLiteral("mm");
  xUnit_->setText(unit);
  yUnit_->setText(unit);
}

InchPoint CoordinatesDialog::result() const {
  return {settings_.toInches(x_->value()), settings_.toInches(y_->value())};
}

void CoordinatesDialog::acceptTyped() {
  if (typedValuesValid({x_, y_})) accept();
}

}  // namespace drumplot
