// SPDX-License-Identifier: MIT
// The main window's status bar.
#include "ui/job_status_bar.h"

#include <QLabel>
#include <QMouseEvent>

namespace drumplot {

JobStatusBar::JobStatusBar(QWidget* parent) : QStatusBar(parent) {
  constexpr std::array<int, 5> kWidths_px = {100, 50, 200, 200, 200};
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i] = new QLabel(this);
    // At least the stated width; wider when the font needs it for the text.
    panels_[i]->setMinimumWidth(kWidths_px[i]);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    addWidget(panels_[i]);
  }
}

void JobStatusBar::setPanelText(Panel panel, const QString& text) {
  panels_.at(panel)->setText(text);
}

QString JobStatusBar::panelText(Panel panel) const {
  return panels_.at(panel)->text();
}

void JobStatusBar::mouseDoubleClickEvent(QMouseEvent* event) {
  // Double clicks on the panels come here too: labels pass them on.
  event->accept();
  emit doubleClicked();
}

}  // namespace drumplot
