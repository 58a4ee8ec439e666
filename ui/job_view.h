// SPDX-License-Identifier: MIT
// JobView: the scrolled client area of the main window. The plotting-area
// panel sits right of the left ruler and below the top ruler, with the drum
// directions written beside them; the layer panel keeps to the right edge.
#pragma once

#include <QScrollArea>

namespace drumplot {

class LayerPanelView;
class PlotAreaPanel;
class Ruler;

class JobView final : public QScrollArea {
 public:
  explicit JobView(QWidget* parent);

  PlotAreaPanel* plotArea() const { return plotArea_; }
  LayerPanelView* layerPanel() const { return layerPanel_; }
  Ruler* topRuler() const { return topRuler_; }
  Ruler* leftRuler() const { return leftRuler_; }

  // Resizes the plotting-area panel and lays everything out again.
  void setPlotAreaSize(QSize size_px);
  // Positions follow the client width; they are recomputed whenever it changes.
  void relayout();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* sheet_;
  QWidget* circumferenceLabel_;
  QWidget* axisLabel_;
  Ruler* topRuler_;
  Ruler* leftRuler_;
  PlotAreaPanel* plotArea_;
  LayerPanelView* layerPanel_;
  QSize plotArea_px_;
};

}  // namespace drumplot
