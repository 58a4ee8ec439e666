// SPDX-License-Identifier: MIT
// LayerPanelView: the 18 layer rows at the right edge of the window (name,
// Gerber file, aperture file of the board selected last) and the "Active
// layer" combo box that chooses the layer imports go to.
#pragma once

#include <QWidget>
#include <array>
#include <string>

#include "job/board.h"

class QComboBox;
class QLabel;

namespace drumplot {

class LayerPanelView final : public QWidget {
  Q_OBJECT

 public:
  explicit LayerPanelView(QWidget* parent);

  // The view spans from client width - width_px() to the client's right
  // edge; it grows to the left with the longest layer name.
  int width_px() const;

  // Renames the rows and refills the combo box, keeping its index.
  void setNames(const std::array<std::string, kLayerCount>& names);
  void showFiles(const LayerPanel& panel);
  int activeLayer() const;  // 1..18
  void setActiveLayer(int layer);

  QComboBox* layerCombo() const { return combo_; }
  QLabel* nameLabel(int layer) const { return names_.at(layer - 1); }
  QLabel* gerberCell(int layer) const { return gerber_.at(layer - 1); }
  QLabel* apertureCell(int layer) const { return aperture_.at(layer - 1); }

 signals:
  void activeLayerChanged(int layer);
  // The names were set and the view's width may have changed.
  void widthChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void placeRows();
  void placeCombo();

  int nameColumn_px_;  // wide enough for the longest name
  QLabel* gerberHeading_;
  QLabel* apertureHeading_;
  QComboBox* combo_;
  QLabel* comboLabel_;
  std::array<QLabel*, kLayerCount> names_;
  std::array<QLabel*, kLayerCount> gerber_;
  std::array<QLabel*, kLayerCount> aperture_;
};

}  // namespace drumplot
