// SPDX-License-Identifier: MIT
// The panelize dialog.
#include "ui/panelize_dialog.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/number_field.h"
#include "ui/qt_conversions.h"

namespace drumplot {

// PanelizeDialog - Layout and keys
// ============================================================================

PanelizeDialog::PanelizeDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Panelize"));
  constexpr int kMaxRepeat = 100;
  constexpr double kMaxDistance = 9999.999;  // four integer and three decimal digits
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  repeatX_ = new QSpinBox(this);
  repeatX_->setObjectName(QStringLiteral("Repeat X"));
  repeatX_->setRange(0, kMaxRepeat);
  repeatY_ = new QSpinBox(this);
  repeatY_->setObjectName(QStringLiteral("Repeat Y"));
  repeatY_->setRange(0, kMaxRepeat);
  distanceX_ = new NumberField(0.0, kMaxDistance, 3, NumberField::Decimals::Trimmed, this);
  distanceX_->setObjectName(QStringLiteral("Distance X"));
  distanceY_ = new NumberField(0.0, kMaxDistance, 3, NumberField::Decimals::Trimmed, this);
  distanceY_->setObjectName(QStringLiteral("Distance Y"));
  unitX_ = new QLabel(this);
  unitY_ = new QLabel(this);
  grid->addWidget(new QLabel(QStringLiteral("Repeat X"), this), 0, 0);
  grid->addWidget(repeatX_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Repeat Y"), this), 1, 0);
  grid->addWidget(repeatY_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Distance X"), this), 2, 0);
  grid->addWidget(distanceX_, 2, 1);
  grid->addWidget(unitX_, 2, 2);
  grid->addWidget(new QLabel(QStringLiteral("Distance Y"), this), 3, 0);
  grid->addWidget(distanceY_, 3, 1);
  grid->addWidget(unitY_, 3, 2);
  layout->addLayout(grid);

  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  // Enter belongs to the fields, so neither button is pressed by it.
  for (QPushButton* button : {buttons.ok, buttons.cancel}) {
    button->setDefault(false);
    button->setAutoDefault(false);
  }
  connect(buttons.ok, &QPushButton::clicked, this, &PanelizeDialog::acceptTyped);
  disconnect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(buttons.cancel, &QPushButton::clicked, this, [this] { done(Rejected); });
  layout->addLayout(buttons.row);
}

void PanelizeDialog::reject() {}

void PanelizeDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    focusNextChild();
    return;
  }
  QDialog::keyPressEvent(event);
}

// PanelizeDialog - Values
// ============================================================================

void PanelizeDialog::load(const std::string& unitText) {
  unitText_ = unitText;
  repeatX_->setValue(0);
  repeatY_->setValue(0);
  distanceX_->setValue(panelizeDefaultDistance(unitText));
  distanceY_->setValue(panelizeDefaultDistance(unitText));
  unitX_->setText(toQString(unitText));
  unitY_->setText(toQString(unitText));
  repeatX_->setFocus();
}

PanelizeRequest PanelizeDialog::result() const {
  PanelizeRequest request;
  request.repeatX = repeatX_->value();
  request.repeatY = repeatY_->value();
  request.distanceX_mm = panelizeDistanceToMm(distanceX_->value(), unitText_);
  request.distanceY_mm = panelizeDistanceToMm(distanceY_->value(), unitText_);
  return request;
}

void PanelizeDialog::acceptTyped() {
  if (typedValuesValid({distanceX_, distanceY_})) accept();
}

}  // namespace drumplot
