// SPDX-License-Identifier: MIT
// The plotting-area dialog.
#include "ui/plot_area_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/number_field.h"
#include "ui/qt_conversions.h"

namespace drumplot {

namespace {

struct SideLimits {
  double minimum, maximumCircumference, maximumAxis;
};
constexpr SideLimits kInchLimits{4.0, 25.0, 25.0};
constexpr SideLimits kMillimetreLimits{100.0, 650.0, 520.0};

}  // namespace

// PlotAreaDialog - Layout
// ============================================================================

PlotAreaDialog::PlotAreaDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Plotting area size"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  circumference_ = new NumberField(0, 0, 2, NumberField::Decimals::Fixed, this);
  circumference_->setObjectName(QStringLiteral("Drum circumference"));
  axis_ = new NumberField(0, 0, 2, NumberField::Decimals::Fixed, this);
  axis_->setObjectName(QStringLiteral("Drum axis"));
  circumferenceUnit_ = new QLabel(this);
  axisUnit_ = new QLabel(this);
  grid->addWidget(new QLabel(QStringLiteral("Drum circumference"), this), 0, 0);
  grid->addWidget(circumference_, 0, 1);
  grid->addWidget(circumferenceUnit_, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Drum axis"), this), 1, 0);
  grid->addWidget(axis_, 1, 1);
  grid->addWidget(axisUnit_, 1, 2);
  layout->addLayout(grid);
  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &PlotAreaDialog::acceptTyped);
  layout->addLayout(buttons.row);
}

// PlotAreaDialog - Values
// ============================================================================

void PlotAreaDialog::load(const JobSettings& settings) {
  settings_ = settings;
  const SideLimits& limits = settings.unitText == "Inch" ? kInchLimits : kMillimetreLimits;
  circumference_->setRange(limits.minimum, limits.maximumCircumference);
  axis_->setRange(limits.minimum, limits.maximumAxis);
  circumference_->setValue(settings.toDisplay(settings.PlotWidth));
  axis_->setValue(settings.toDisplay(settings.PlotHeight));
  circumferenceUnit_->setText(toQString(settings.unitText));
  axisUnit_->setText(toQString(settings.unitText));
}

PlotAreaSize PlotAreaDialog::result() const {
  return {settings_.toInches(circumference_->value()), settings_.toInches(axis_->value())};
}

void PlotAreaDialog::acceptTyped() {
  if (typedValuesValid({circumference_, axis_})) accept();
}

}  // namespace drumplot
