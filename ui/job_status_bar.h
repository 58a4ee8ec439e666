// SPDX-License-Identifier: MIT
// JobStatusBar: five panels (widths 100, 50, 200, 200, 200): mouse position,
// unit, data format, unused, progress. A double click asks for the data format.
#pragma once

#include <QStatusBar>
#include <array>

class QLabel;

namespace drumplot {

class JobStatusBar final : public QStatusBar {
  Q_OBJECT

 public:
  enum Panel { MousePanel = 0, UnitPanel = 1, FormatPanel = 2, SparePanel = 3, ProgressPanel = 4 };

  explicit JobStatusBar(QWidget* parent);

  void setPanelText(Panel panel, const QString& text);
  QString panelText(Panel panel) const;
  QLabel* panelLabel(Panel panel) const { return panels_.at(panel); }

 signals:
  void doubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::array<QLabel*, 5> panels_;
};

}  // namespace drumplot
