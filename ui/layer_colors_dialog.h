// SPDX-License-Identifier: MIT
// LayerColorsDialog ("Edit color & name layer"): the 18 layer names and
// their preview colours.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

#include "job/board.h"

class QLineEdit;

namespace drumplot {

class ColorSwatch;
class UserPrompts;

struct LayerLook {
  std::array<std::string, kLayerCount> names;  // [n - 1] is layer n
  std::array<uint32_t, kLayerCount> colors;    // $00BBGGRR
};

class LayerColorsDialog final : public QDialog {
 public:
  explicit LayerColorsDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  void load(const LayerLook& look);
  LayerLook result() const;

 private:
  UserPrompts& prompts_;
  std::array<QLineEdit*, kLayerCount> names_;
  std::array<ColorSwatch*, kLayerCount> swatches_;
};

}  // namespace drumplot
