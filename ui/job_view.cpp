// SPDX-License-Identifier: MIT
// The layout of the main window's client area.
#include "ui/job_view.h"

#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

#include "ui/layer_panel_view.h"
#include "ui/plot_area_panel.h"
#include "ui/ruler.h"

namespace drumplot {

namespace {

// Room left of the left ruler and above the top ruler for the direction labels.
constexpr int kMarginLeft_px = 22;
constexpr int kMarginTop_px = 22;
constexpr int kMarginRight_px = 8;
// The top ruler is 24 pixels wider than the panel (it spans the left ruler
// too); the left ruler is 16 pixels taller than the panel.
constexpr int kTopRulerExtra_px = Ruler::kThickness_px;
constexpr int kLeftRulerExtra_px = 16;

// "---> Drum axis", turned by 270 degrees (counterclockwise): read from top
// to bottom, the arrow pointing down the axis.
class AxisLabel final : public QWidget {
 public:
  AxisLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.translate(width(), 0);
    painter.rotate(90);  // clockwise on the screen
    painter.drawText(QRect(0, 0, height(), width()), Qt::AlignLeft | Qt::AlignVCenter, text_);
  }

 private:
  QString text_;
};

}  // namespace

JobView::JobView(QWidget* parent) : QScrollArea(parent), sheet_(new QWidget) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(false);
  circumferenceLabel_ = new QLabel(QStringLiteral("-----> Drum circumference"), sheet_);
  circumferenceLabel_->setObjectName(QStringLiteral("circumferenceLabel"));
  axisLabel_ = new AxisLabel(QStringLiteral("---> Drum axis"), sheet_);
  axisLabel_->setObjectName(QStringLiteral("axisLabel"));
  topRuler_ = new Ruler(Qt::Horizontal, sheet_);
  leftRuler_ = new Ruler(Qt::Vertical, sheet_);
  plotArea_ = new PlotAreaPanel(sheet_);
  layerPanel_ = new LayerPanelView(sheet_);
  connect(layerPanel_, &LayerPanelView::widthChanged, this, &JobView::relayout);
  setWidget(sheet_);  // the scroll area owns the sheet from here
}

void JobView::setPlotAreaSize(QSize size_px) {
  plotArea_px_ = size_px;
  relayout();
}

void JobView::relayout() {
  const int thick = Ruler::kThickness_px;
  int rulersLeft = kMarginLeft_px;
  int rulersTop = kMarginTop_px;
  QPoint panelAt(rulersLeft + thick, rulersTop + thick);
  int panelWidth = plotArea_px_.width();
  int panelHeight = plotArea_px_.height();

  circumferenceLabel_->adjustSize();
  circumferenceLabel_->move(panelAt.x(), (rulersTop - circumferenceLabel_->height()) / 2);
  topRuler_->setGeometry(rulersLeft, rulersTop, panelWidth + kTopRulerExtra_px, thick);
  leftRuler_->setGeometry(rulersLeft, panelAt.y(), thick, panelHeight + kLeftRulerExtra_px);
  axisLabel_->setGeometry(0, panelAt.y(), kMarginLeft_px, panelHeight);
  plotArea_->setGeometry(QRect(panelAt, plotArea_px_));

  // The sheet fills the client area, or more when the content needs it.
  QSize client = viewport()->size();
  const int layers_px = layerPanel_->width_px();
  int contentWidth = panelAt.x() + panelWidth + kMarginRight_px + layers_px;
  int contentHeight =
      std::max(panelAt.y() + panelHeight + kLeftRulerExtra_px, layerPanel_->minimumHeight()) +
      kMarginRight_px;
  sheet_->resize(std::max(client.width(), contentWidth), std::max(client.height(), contentHeight));
  layerPanel_->setGeometry(sheet_->width() - layers_px, 0, layers_px, sheet_->height());
}

void JobView::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  relayout();
}

}  // namespace drumplot
