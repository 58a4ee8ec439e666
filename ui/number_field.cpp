// SPDX-License-Identifier: MIT
// Decimal entry fields and the check of typed values.
#include "ui/number_field.h"

#include <QApplication>
#include <QDoubleValidator>
#include <QLocale>

namespace drumplot {

// NumberField - Showing and reading values
// ============================================================================

NumberField::NumberField(double minimum, double maximum, int decimals, Decimals style,
                         QWidget* parent)
    : QLineEdit(parent),
      validator_(new QDoubleValidator(this)),
      decimals_(decimals),
      style_(style) {
  validator_->setLocale(QLocale::c());
  validator_->setNotation(QDoubleValidator::StandardNotation);
  setValidator(validator_);
  setRange(minimum, maximum);
}

void NumberField::setRange(double minimum, double maximum) {
  validator_->setRange(minimum, maximum, decimals_);
}

void NumberField::setValue(double value) {
  value_ = value;
  QString text = QString::number(value, 'f', decimals_);
  if (style_ == Decimals::Trimmed && text.contains(QLatin1Char('.'))) {
    while (text.endsWith(QLatin1Char('0')) && !text.endsWith(QLatin1String(".0"))) text.chop(1);
  }
  setText(text);  // clears isModified(): a set value is never range-checked
}

double NumberField::value() const {
  if (!isModified()) return value_;
  return QLocale::c().toDouble(text());
}

bool NumberField::typedValueValid() const {
  return !isModified() || hasAcceptableInput();
}

// Checking typed values
// ============================================================================

bool typedValuesValid(std::initializer_list<NumberField*> fields) {
  for (NumberField* field : fields) {
    if (field->typedValueValid()) continue;
    QApplication::beep();
    field->setFocus();
    field->selectAll();
    return false;
  }
  return true;
}

}  // namespace drumplot
