// SPDX-License-Identifier: MIT
// DrillPanelDialog ("Panelize drill"): the drill file of one board, the
// panelized file to write, the offset between Gerber and drill data in the
// display unit, and the tools of the mark hits.
#pragma once

#include <QDialog>
#include <string>

#include "drill/drill_panel.h"

class QLabel;

namespace drumplot {

class NumberField;
class UserPrompts;

inline constexpr const char* kImportLabel = "Import file name:";
inline constexpr const char* kExportLabel = " Export (panelized) file name";

class DrillPanelDialog final : public QDialog {
 public:
  DrillPanelDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  // Both names cleared, dX and dY 0, their unit labels showing `unitText`;
  // `markDrills` is what "Assign drill to mark" starts from.
  void load(const std::string& unitText, const MarkDrillTable& markDrills);
  // After load: the input file a board remembers, shown and chosen until
  // another is picked (empty: none).
  void offerInput(const std::string& file);
  // Offsets in inches ("mm" values divided by 25.4).
  DrillPanelSettings result() const;

 private:
  void chooseInput();
  void chooseOutput();
  void assignMarkDrills();
  void acceptTyped();

  UserPrompts& prompts_;
  QLabel* inputLabel_;
  QLabel* outputLabel_;
  NumberField* dx_;
  NumberField* dy_;
  QLabel* dxUnit_;
  QLabel* dyUnit_;
  DrillPanelSettings settings_;
  std::string unitText_;
};

}  // namespace drumplot
