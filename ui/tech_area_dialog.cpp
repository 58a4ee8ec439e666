// SPDX-License-Identifier: MIT
// The technological-area dialog.
#include "ui/tech_area_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "job/tech_area.h"
#include "ui/dialog_buttons.h"
#include "ui/number_field.h"

namespace drumplot {

TechAreaDialog::TechAreaDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Setting  for technological area"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const std::array<QString, 5> names = {
      QStringLiteral("Distance from the board"), QStringLiteral("Left width"),
      QStringLiteral("Right width"), QStringLiteral("Top width"), QStringLiteral("Bottom width")};
  constexpr double kLargest = 99999.0;  // millimetres or inches
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i] = new NumberField(0.0, kLargest, 4, NumberField::Decimals::Trimmed, this);
    fields_[i]->setObjectName(names[i]);
    units_[i] = new QLabel(this);
    int row = static_cast<int>(i);
    grid->addWidget(new QLabel(names[i], this), row, 0);
    grid->addWidget(fields_[i], row, 1);
    grid->addWidget(units_[i], row, 2);
  }
  layout->addLayout(grid);
  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &TechAreaDialog::acceptTyped);
  layout->addLayout(buttons.row);
}

void TechAreaDialog::load(const TechArea& tech, const std::string& unitText) {
  unitText_ = unitText;
  const std::array<double, 5> values_mm = {tech.distance_mm, tech.left_mm, tech.right_mm,
                                           tech.top_mm, tech.bottom_mm};
  QString unit = unitText == "mm" ? QStringLiteral("mm") : QStringLiteral("inch");
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i]->setValue(techAreaToDisplay(values_mm[i], unitText));
    units_[i]->setText(unit);
  }
}

TechArea TechAreaDialog::result() const {
  auto mm = [&](size_t i) { return techAreaFromDisplay(fields_[i]->value(), unitText_); };
  return {mm(0), mm(1), mm(2), mm(3), mm(4)};
}

void TechAreaDialog::acceptTyped() {
  if (typedValuesValid({fields_[0], fields_[1], fields_[2], fields_[3], fields_[4]})) accept();
}

}  // namespace drumplot
