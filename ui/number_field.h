// SPDX-License-Identifier: MIT
// NumberField: a decimal entry field with the decimal point. Values set by
// the program are shown as they are; the range applies to what the user types.
#pragma once

#include <QLineEdit>
#include <initializer_list>

class QDoubleValidator;

namespace drumplot {

class NumberField final : public QLineEdit {
 public:
  enum class Decimals {
    Fixed,    // always `decimals` digits after the point ("340.00")
    Trimmed,  // trailing zeros dropped, one digit kept ("5.0", "0.25")
  };

  NumberField(double minimum, double maximum, int decimals, Decimals style,
              QWidget* parent = nullptr);

  void setRange(double minimum, double maximum);
  void setValue(double value);
  double value() const;
  // True unless the user typed something that is not a number in range.
  bool typedValueValid() const;

 private:
  QDoubleValidator* validator_;
  int decimals_;
  Decimals style_;
  double value_ = 0.0;  // as set by the program, until the user types
};

// Checks what the user typed into each field; at the first invalid one it
// beeps, selects the field's text and returns false (the dialog stays open).
bool typedValuesValid(std::initializer_list<NumberField*> fields);

}  // namespace drumplot
