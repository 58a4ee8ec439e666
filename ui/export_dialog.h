// SPDX-License-Identifier: MIT
// ExportDialog ("Select export layer"): the output options of the plotter
// export, the job bitmap, the preview and the print. The dialog lives as
// long as the window: the export name, the resolution, the layer boxes, the
// hole options, the notes, the tech area, the mirror and the zoom keep what
// was chosen; the line-width fields start at 0 at every opening.
#pragma once

#include <QDialog>
#include <array>
#include <filesystem>
#include <string>

#include "job/board.h"
#include "output/film_export.h"
#include "output/job_preview.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace drumplot {

class NumberField;
class UserPrompts;

class ExportDialog final : public QDialog {
 public:
  enum class Mode {
    Export,     // export name, resolution and notes shown; zoom hidden
    JobBitmap,  // those hidden; zoom shown
    Preview,    // as JobBitmap
  };

  ExportDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  // The export name until the user chooses another.
  void setExportName(const std::filesystem::path& file);
  const std::filesystem::path& exportName() const { return exportName_; }
  // Before each showing: the mode, the layer names on the check boxes; the
  // "Other.." field back to 3048, the line-width fields to 0 and the film
  // scale fields to the settings' scale.
  void load(Mode mode, const std::array<std::string, kLayerCount>& layerNames,
            const FilmScale& scale = {});

  // What was chosen: every field in its own terms.
  FilmSettings filmSettings() const;
  JobBitmapSettings jobBitmapSettings() const;
  JobPreviewSettings previewSettings() const;
  DrawSettings drawSettings() const;

  // The widgets, for the tests that drive them.
  QCheckBox* layerBox(int layer) const { return layers_.at(static_cast<size_t>(layer - 1)); }
  QButtonGroup* resolutionGroup() const { return resolution_; }
  QSpinBox* otherResolution() const { return other_; }
  QButtonGroup* zoomGroup() const { return zoom_; }
  QLabel* exportNameLabel() const { return nameLabel_; }
  QComboBox* filmFormat() const { return format_; }

 private:
  void chooseExportName();
  void resolutionChosen(int item);
  void formatChosen();
  void acceptTyped();

  UserPrompts& prompts_;
  std::filesystem::path exportName_;
  QGroupBox* nameFrame_;
  QLabel* nameLabel_;
  QGroupBox* resolutionBox_;
  QButtonGroup* resolution_;  // RG1
  QSpinBox* other_;           // Sp1
  std::array<QCheckBox*, kLayerCount> layers_;
  NumberField* bothDirections_;  // tloustka, mils
  NumberField* horizontal_;      // DrumT, mils
  QSpinBox* holeSize_;           // Prumerek, mils
  QLineEdit* noHole_;            // ClnText
  QWidget* notesRow_;
  QLineEdit* notes_;     // Edit1
  QCheckBox* techArea_;  // CheckBox1
  QCheckBox* mirror_;    // mirh
  QGroupBox* scaleBox_;  // export mode: the film scale, ppm across and down
  NumberField* scaleX_;
  NumberField* scaleY_;
  // The film (export mode): FilmFormat::Fpf or Tiff, the TIFF's compression.
  QWidget* filmRow_;
  QComboBox* format_;
  QComboBox* compression_;
  QCheckBox* negative_;
  QCheckBox* splitLayers_;
  QGroupBox* zoomBox_;
  QButtonGroup* zoom_;  // rg9
};

}  // namespace drumplot
