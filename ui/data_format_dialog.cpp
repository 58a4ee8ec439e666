// SPDX-License-Identifier: MIT
// The data-format dialog: digits, absolute or incremental, zero suppression, units.
#include "ui/data_format_dialog.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/dialog_buttons.h"

namespace drumplot {

namespace {

// A group box of radio buttons whose ids are their positions.
QButtonGroup* radioGroup(QDialog* dialog, QBoxLayout* into, const QString& title,
                         const QStringList& choices) {
  auto* box = new QGroupBox(title, dialog);
  auto* layout = new QVBoxLayout(box);
  auto* group = new QButtonGroup(dialog);
  for (int i = 0; i < choices.size(); ++i) {
    auto* button = new QRadioButton(choices[i], box);
    group->addButton(button, i);
    layout->addWidget(button);
  }
  into->addWidget(box);
  return group;
}

}  // namespace

// DataFormatDialog - Layout
// ============================================================================

DataFormatDialog::DataFormatDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Data Format"));
  auto* layout = new QVBoxLayout(this);

  auto* digits = new QGroupBox(QStringLiteral("Digits"), this);
  auto* digitsLayout = new QFormLayout(digits);
  intDigits_ = new QSpinBox(digits);
  intDigits_->setObjectName(QStringLiteral("Integer"));
  intDigits_->setRange(kMinIntDigits, kMaxIntDigits);
  decDigits_ = new QSpinBox(digits);
  decDigits_->setObjectName(QStringLiteral("Decimal"));
  decDigits_->setRange(kMinDecDigits, kMaxDecDigits);
  digitsLayout->addRow(QStringLiteral("Integer"), intDigits_);
  digitsLayout->addRow(QStringLiteral("Decimal"), decDigits_);
  layout->addWidget(digits);

  auto* choices = new QHBoxLayout;
  type_ = radioGroup(this, choices, QStringLiteral("Type"),
                     {QStringLiteral("Absolute"), QStringLiteral("Incremental")});
  zeros_ =
      radioGroup(this, choices, QStringLiteral("Zero supression"),
                 {QStringLiteral("Leading"), QStringLiteral("Trailing"), QStringLiteral("None")});
  units_ = radioGroup(this, choices, QStringLiteral("Units"),
                      {QStringLiteral("English"), QStringLiteral("Metric")});
  layout->addLayout(choices);

  DialogButtons buttons = dialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(buttons.row);
}

// DataFormatDialog - Values
// ============================================================================

void DataFormatDialog::load(const DataFormat& format) {
  intDigits_->setValue(format.IntDigits);
  decDigits_->setValue(format.DecDigits);
  type_->button(format.Absolute ? 0 : 1)->setChecked(true);
  if (QAbstractButton* zeros = zeros_->button(static_cast<int>(format.ZeroSuppression)))
    zeros->setChecked(true);
  units_->button(format.Metric ? 1 : 0)->setChecked(true);
}

DataFormat DataFormatDialog::result() const {
  DataFormat format;
  format.IntDigits = static_cast<uint8_t>(intDigits_->value());
  format.DecDigits = static_cast<uint8_t>(decDigits_->value());
  format.Absolute = type_->checkedId() == 0;
  format.ZeroSuppression = static_cast<ZeroSuppression>(std::max(zeros_->checkedId(), 0));
  format.Metric = units_->checkedId() != 0;
  return format;
}

}  // namespace drumplot
