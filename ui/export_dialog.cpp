// SPDX-License-Identifier: MIT
// The output dialog of the export, the job bitmap, the preview and the print.
#include "ui/export_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "output/export_geometry.h"
#include "ui/dialog_buttons.h"
#include "ui/number_field.h"
#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"

namespace drumplot {

namespace {

constexpr double kMaxLineWidth_mils = 1000.0;  // either way
constexpr int kMaxHoleSize_mils = 100000;
constexpr int kMaxNotesChars = 63;  // of which the plotter file keeps 50
constexpr int kZoomItems = 3;       // "fit page", "2:1", "3:1": zoom 1 to 3

QRadioButton* radio(QButtonGroup* group, int id, const QString& text, QWidget* parent) {
  auto* button = new QRadioButton(text, parent);
  group->addButton(button, id);
  return button;
}

}  // namespace

// ExportDialog - Layout
// ============================================================================

ExportDialog::ExportDialog(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setWindowTitle(QStringLiteral("Select export layer"));
  auto* layout = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  layout->addLayout(columns);

  // The layer boxes, one per layer of the job, unchecked until chosen.
  auto* layerColumn = new QVBoxLayout;
  layerColumn->setSpacing(0);
  for (size_t n = 0; n < layers_.size(); ++n) {
    layers_[n] = new QCheckBox(this);
    layers_[n]->setObjectName(QStringLiteral("Layer %1").arg(n + 1));
    layerColumn->addWidget(layers_[n]);
  }
  layerColumn->addStretch();
  columns->addLayout(layerColumn);

  auto* options = new QVBoxLayout;
  columns->addLayout(options);

  nameFrame_ = new QGroupBox(this);
  auto* nameRow = new QHBoxLayout(nameFrame_);
  nameLabel_ = new QLabel(nameFrame_);
  nameLabel_->setMinimumWidth(300);
  auto* nameButton = new QPushButton(QStringLiteral("&Export name"), nameFrame_);
  nameButton->setAutoDefault(false);
  nameRow->addWidget(nameLabel_, 1);
  nameRow->addWidget(nameButton);
  options->addWidget(nameFrame_);
  connect(nameButton, &QPushButton::clicked, this, &ExportDialog::chooseExportName);

  resolutionBox_ = new QGroupBox(QStringLiteral("Resolution [dpi]"), this);
  auto* resolutionGrid = new QGridLayout(resolutionBox_);
  resolution_ = new QButtonGroup(this);
  constexpr int kRows = 6;
  for (int item = 0; item < static_cast<int>(kResolutionLabels.size()); ++item) {
    resolutionGrid->addWidget(
        radio(resolution_, item, QString::fromLatin1(kResolutionLabels[static_cast<size_t>(item)]),
              resolutionBox_),
        item % kRows, item / kRows);
  }
  other_ = new QSpinBox(resolutionBox_);
  other_->setObjectName(QStringLiteral("Sp1"));
  other_->setRange(kOtherResolutionMin, kOtherResolutionMax);
  resolutionGrid->addWidget(other_, kRows - 1, 1);
  resolution_->button(kDefaultResolutionItem)->setChecked(true);
  options->addWidget(resolutionBox_);
  connect(resolution_, &QButtonGroup::idClicked, this, &ExportDialog::resolutionChosen);

  auto* lineWidth = new QGroupBox(QStringLiteral("Line width +/- [mils]"), this);
  auto* lineForm = new QFormLayout(lineWidth);
  bothDirections_ = new NumberField(-kMaxLineWidth_mils, kMaxLineWidth_mils, 3,
                                    NumberField::Decimals::Trimmed, lineWidth);
  bothDirections_->setObjectName(QStringLiteral("Both direction"));
  horizontal_ = new NumberField(-kMaxLineWidth_mils, kMaxLineWidth_mils, 3,
                                NumberField::Decimals::Trimmed, lineWidth);
  horizontal_->setObjectName(QStringLiteral("Horizontal line"));
  lineForm->addRow(QStringLiteral("Both direction"), bothDirections_);
  lineForm->addRow(QStringLiteral("Horizontal line"), horizontal_);
  options->addWidget(lineWidth);

  auto* holes = new QFormLayout;
  holeSize_ = new QSpinBox(this);
  holeSize_->setObjectName(QStringLiteral("Hole size in  pads :"));
  holeSize_->setRange(0, kMaxHoleSize_mils);
  noHole_ = new QLineEdit(QStringLiteral("300,500,700"), this);
  noHole_->setObjectName(QStringLiteral("D-code without  hole:"));
  noHole_->setMaxLength(static_cast<int>(kMaxNoHoleText));
  holes->addRow(QStringLiteral("Hole size in  pads :"), holeSize_);
  holes->addRow(QStringLiteral("D-code without  hole:"), noHole_);
  options->addLayout(holes);

  notesRow_ = new QWidget(this);
  auto* notesLayout = new QFormLayout(notesRow_);
  notesLayout->setContentsMargins(0, 0, 0, 0);
  notes_ = new QLineEdit(notesRow_);
  notes_->setObjectName(QStringLiteral("User notes"));
  notes_->setMaxLength(kMaxNotesChars);
  notesLayout->addRow(QStringLiteral("User notes"), notes_);
  options->addWidget(notesRow_);

  techArea_ = new QCheckBox(QStringLiteral("Use tech. area"), this);
  mirror_ = new QCheckBox(QStringLiteral("Mirror horizontal"), this);
  options->addWidget(techArea_);
  options->addWidget(mirror_);

  // The film scale: the whole film drawn larger (+) or smaller per axis.
  scaleBox_ = new QGroupBox(QStringLiteral("Film scale [ppm]"), this);
  auto* scaleForm = new QFormLayout(scaleBox_);
  scaleX_ = new NumberField(-kMaxFilmScalePpm, kMaxFilmScalePpm, 3, NumberField::Decimals::Trimmed,
                            scaleBox_);
  scaleX_->setObjectName(QStringLiteral("Scale X"));
  scaleY_ = new NumberField(-kMaxFilmScalePpm, kMaxFilmScalePpm, 3, NumberField::Decimals::Trimmed,
                            scaleBox_);
  scaleY_->setObjectName(QStringLiteral("Scale Y"));
  scaleForm->addRow(QStringLiteral("X (across)"), scaleX_);
  scaleForm->addRow(QStringLiteral("Y (down)"), scaleY_);
  options->addWidget(scaleBox_);

  // The film: the plotter file or a TIFF, negative, one per layer.
  filmRow_ = new QWidget(this);
  auto* filmForm = new QFormLayout(filmRow_);
  filmForm->setContentsMargins(0, 0, 0, 0);
  format_ = new QComboBox(filmRow_);
  format_->setObjectName(QStringLiteral("Film format"));
  format_->addItem(QStringLiteral("Plotter file (FPF)"), static_cast<int>(FilmFormat::Fpf));
  format_->addItem(QStringLiteral("TIFF, 1 bit"), static_cast<int>(FilmFormat::Tiff));
  compression_ = new QComboBox(filmRow_);
  compression_->setObjectName(QStringLiteral("TIFF compression"));
  compression_->addItem(QStringLiteral("CCITT Group 4"), static_cast<int>(TiffCompression::Group4));
  compression_->addItem(QStringLiteral("PackBits"), static_cast<int>(TiffCompression::PackBits));
  compression_->addItem(QStringLiteral("None"), static_cast<int>(TiffCompression::None));
  compression_->setEnabled(false);
  filmForm->addRow(QStringLiteral("Film format"), format_);
  filmForm->addRow(QStringLiteral("TIFF compression"), compression_);
  splitLayers_ = new QCheckBox(QStringLiteral("One film per layer"), filmRow_);
  filmForm->addRow(splitLayers_);
  options->addWidget(filmRow_);
  negative_ = new QCheckBox(QStringLiteral("Negative film"), this);
  options->addWidget(negative_);
  connect(format_, &QComboBox::currentIndexChanged, this, &ExportDialog::formatChosen);

  zoomBox_ = new QGroupBox(QStringLiteral("Zoom"), this);
  auto* zoomRow = new QHBoxLayout(zoomBox_);
  zoom_ = new QButtonGroup(this);
  zoomRow->addWidget(radio(zoom_, 1, QStringLiteral("fit page"), zoomBox_));
  zoomRow->addWidget(radio(zoom_, 2, QStringLiteral("2:1"), zoomBox_));
  zoomRow->addWidget(radio(zoom_, kZoomItems, QStringLiteral("3:1"), zoomBox_));
  zoom_->button(1)->setChecked(true);
  options->addWidget(zoomBox_);
  options->addStretch();

  DialogButtons buttons = dialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &ExportDialog::acceptTyped);
  layout->addLayout(buttons.row);
}

// ExportDialog - Values
// ============================================================================

void ExportDialog::setExportName(const std::filesystem::path& file) {
  exportName_ = file;
  nameLabel_->setText(toQString(file.string()));
}

void ExportDialog::load(Mode mode, const std::array<std::string, kLayerCount>& layerNames,
                        const FilmScale& scale) {
  for (size_t n = 0; n < layers_.size(); ++n) layers_[n]->setText(toQString(layerNames[n]));
  other_->setValue(kOtherResolutionPreset);
  bothDirections_->setValue(0.0);
  horizontal_->setValue(0.0);
  scaleX_->setValue(scale.xPpm);
  scaleY_->setValue(scale.yPpm);
  bool exporting = mode == Mode::Export;
  nameFrame_->setVisible(exporting);
  resolutionBox_->setVisible(exporting);
  notesRow_->setVisible(exporting);
  scaleBox_->setVisible(exporting);
  filmRow_->setVisible(exporting);
  negative_->setVisible(mode != Mode::Preview);
  zoomBox_->setVisible(!exporting);
  adjustSize();
}

DrawSettings ExportDialog::drawSettings() const {
  DrawSettings s;
  for (size_t n = 0; n < layers_.size(); ++n) s.layers[n] = layers_[n]->isChecked();
  s.lineWidth_mils = bothDirections_->value();
  s.holeDiameter_mils = holeSize_->value();
  s.noHoleDCodes = toStdString(noHole_->text());
  s.techArea = techArea_->isChecked();
  return s;
}

FilmSettings ExportDialog::filmSettings() const {
  FilmSettings film;
  PlotterExportSettings& s = film.plotter;
  s.draw = drawSettings();
  s.file = exportName_;
  s.dpi = resolutionOfItem(resolution_->checkedId(), other_->value());
  s.horizontalLine_mils = horizontal_->value();
  s.notes = toStdString(notes_->text());
  s.mirror = mirror_->isChecked();
  s.negative = negative_->isChecked();
  s.scale = {scaleX_->value(), scaleY_->value()};
  film.format = static_cast<FilmFormat>(format_->currentData().toInt());
  film.tiff.compression = static_cast<TiffCompression>(compression_->currentData().toInt());
  film.splitLayers = splitLayers_->isChecked();
  return film;
}

JobBitmapSettings ExportDialog::jobBitmapSettings() const {
  JobBitmapSettings s;
  s.draw = drawSettings();
  s.negative = negative_->isChecked();
  return s;
}

JobPreviewSettings ExportDialog::previewSettings() const {
  JobPreviewSettings s;
  s.draw = drawSettings();
  s.mirror = mirror_->isChecked();
  s.zoom = zoom_->checkedId();
  return s;
}

// ExportDialog - Commands
// ============================================================================

void ExportDialog::chooseExportName() {
  const bool tiff = format_->currentData().toInt() == static_cast<int>(FilmFormat::Tiff);
  FileRequest request;
  request.title = QStringLiteral("Export name");
  request.filters = {tiff ? QStringLiteral("TIFF film(*.tif)|*.tif")
                          : QStringLiteral("Photoplotter  Bitmap(*.FPF)|*.FPF")};
  request.defaultSuffix = tiff ? QStringLiteral("tif") : QStringLiteral("FPF");
  // The folder of the name in force: after an export, the last folder used.
  request.startFile = toQString(exportName_.string());
  QString file = prompts_.saveFileName(this, request);
  if (file.isEmpty()) return;
  setExportName(toPath(file));
  // A name that says TIFF or FPF chooses that format.
  const std::optional<FilmFormat> named = filmFormatOfName(exportName_);
  const int item = named ? format_->findData(static_cast<int>(*named)) : -1;
  if (item >= 0) format_->setCurrentIndex(item);
}

// The export name follows the format: board.FPF becomes board.tif.
void ExportDialog::formatChosen() {
  const auto format = static_cast<FilmFormat>(format_->currentData().toInt());
  compression_->setEnabled(format == FilmFormat::Tiff);
  const std::optional<FilmFormat> named = filmFormatOfName(exportName_);
  if (named && *named != format && !exportName_.empty()) {
    std::filesystem::path renamed = exportName_;
    setExportName(renamed.replace_extension(format == FilmFormat::Tiff ? ".tif" : ".FPF"));
  }
}

// An item copies its resolution into the "Other.." field; "Other.." itself
// sets the field to 3048.
void ExportDialog::resolutionChosen(int item) {
  other_->setValue(item == kOtherResolutionItem ? kOtherResolutionPreset
                                                : resolutionOfItem(item, kOtherResolutionPreset));
}

void ExportDialog::acceptTyped() {
  if (typedValuesValid({bothDirections_, horizontal_, scaleX_, scaleY_})) accept();
}

}  // namespace drumplot
