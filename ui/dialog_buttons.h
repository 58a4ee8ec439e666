// SPDX-License-Identifier: MIT
// The OK and Cancel row at the foot of the small dialogs.
#pragma once

#include <QString>

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace drumplot {

struct DialogButtons {
  QHBoxLayout* row;
  QPushButton* ok;
  QPushButton* cancel;
};

// Two buttons with the given texts, right-aligned; Ok is the default button
// and Cancel rejects the dialog. Ok is connected by the caller (dialogs that
// check their fields accept only when the fields are valid).
DialogButtons dialogButtons(QDialog* dialog, const QString& okText, const QString& cancelText);

}  // namespace drumplot
