// SPDX-License-Identifier: MIT
// Panelizing: locked, unselected copies of the selected board in a grid.
#pragma once

#include <string>

#include "job/job.h"

namespace drumplot {

// What the Panelize dialog hands back on Ok: further copies to the right (X)
// and downwards (Y), and the gaps between neighbours in millimetres.
struct PanelizeRequest {
  int repeatX = 0;  // 0..100
  int repeatY = 0;
  double distanceX_mm = 5.0;
  double distanceY_mm = 5.0;
};

// The dialog's distance fields: 5.0 for the unit "mm", otherwise 0.2 (inch).
double panelizeDefaultDistance(const std::string& unitText);
// A distance typed in the display unit as millimetres.
double panelizeDistanceToMm(double value, const std::string& unitText);

// Whether Panelize has a source to offer its dialog for: a board is
// selected, and a board was ever selected.
bool canPanelize(const Job& job);

// Repeats the last selected board; cells whose left-top corner falls outside
// the plotting area are skipped. Copies are appended column by column.
// Returns the number of copies made (0 when nothing was selected, no board
// was ever selected, or both counts are 0).
int panelize(Job& job, const PanelizeRequest& request);

// How many columns and rows of a panel of board `index` (at most `columns`
// x `rows`, with the request's gaps) lie inside `width` x `height` inches
// of the plotting area by what they draw, from where the board lies.
struct PanelCells {
  int columns = 0;
  int rows = 0;
};
PanelCells fittingCells(const Job& job, size_t index, const PanelizeRequest& request, int columns,
                        int rows, double width, double height);

}  // namespace drumplot
