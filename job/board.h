// SPDX-License-Identifier: MIT
// Board (`TPlosnak`): one board of a job, with its layer files, its place on
// the plotting area, its master data's size and origin, and its data format.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/data_format.h"

namespace drumplot {

inline constexpr int kLayerCount = 18;
inline constexpr size_t kMaxFileNameChars = 250;  // LayerGerber, LayerAperture
inline constexpr size_t kMaxMarkChars = 64;       // MarkName, mark table texts

// Longer texts are cut to the maximum of their field.
inline std::string cutText(std::string_view text, size_t maxChars) {
  return std::string(text.substr(0, maxChars));
}

// The status-bar form: "F: RS274 X,D 2:3,Abs Inch Leading".
std::string formatText(const DataFormat& format);

// A board's rectangle on the plotting-area panel, in screen pixels. It is
// state, not derived: the window leaves it as it is when ScreenScale changes.
struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t Width = 0;
  int32_t Height = 0;

  bool operator==(const ScreenRect&) const = default;
};

// Board colours ($00BBGGRR): the selected board is red, all others green.
inline constexpr uint32_t kSelectedBoardColor = 0x0000FF;
inline constexpr uint32_t kBoardColor = 0x008000;

// Layer arrays are indexed from 0: LayerGerber[n - 1] is layer n (1..18).
using LayerFiles = std::array<std::string, kLayerCount>;

struct Board {
  bool Locked = false;  // a locked board cannot be dragged
  bool IsMark = false;
  std::string MarkName;      // at most 64 characters; empty for an ordinary board
  LayerFiles LayerGerber;    // each at most 250 characters; empty: layer unused
  LayerFiles LayerAperture;  // each at most 250 characters; empty: none
  double PosX = 0.0;         // left-top corner on the plotting area
  double PosY = 0.0;
  double DataWidth = 0.0;  // master data extents, maximum minus minimum
  double DataHeight = 0.0;
  double DataMinX = 0.0;  // data coordinate on the board's left-top corner
  double DataMinY = 0.0;
  bool Selected = false;
  DataFormat format;

  std::string caption;  // caption and hint: the master file (a mark: its path)
  ScreenRect screen;

  uint32_t color() const { return Selected ? kSelectedBoardColor : kBoardColor; }
};

// The 18 rows of Gerber and aperture cells beside the plotting area. It shows
// the board selected last and keeps its text when that board goes (Open).
struct LayerPanel {
  LayerFiles gerber;
  LayerFiles aperture;

  void clear() { *this = LayerPanel{}; }
  void show(const Board& board) {
    gerber = board.LayerGerber;
    aperture = board.LayerAperture;
  }
};

}  // namespace drumplot
