// SPDX-License-Identifier: MIT
// The about box.
#include "ui/about_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace drumplot {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About"));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(
      QStringLiteral("<b>drumplot</b> %1<p>The job editor of drumplot: Gerber photoplot data on "
                     "the plotting area of a drum laser photoplotter, turned into 1-bit exposure "
                     "bitmaps.</p>")
          .arg(QApplication::applicationVersion()),
      this);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
  setMinimumWidth(360);
}

}  // namespace drumplot
