// SPDX-License-Identifier: MIT
// The drill panelization dialog.
#include "ui/drill_panel_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/mark_drill_dialog.h"
#include "ui/number_field.h"
#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"

namespace drumplot {

// DrillPanelDialog - Layout
// ============================================================================

DrillPanelDialog::DrillPanelDialog(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      inputLabel_(new QLabel(this)),
      outputLabel_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Panelize drill"));
  constexpr double kLargestOffset = 999.999;  // the mask "###.###"
  auto* layout = new QVBoxLayout(this);

  auto* files = new QGridLayout;
  auto* importButton = new QPushButton(QStringLiteral("Import file"), this);
  auto* exportButton = new QPushButton(QStringLiteral("Export file"), this);
  auto* markButton = new QPushButton(QStringLiteral("Assign drill to mark"), this);
  inputLabel_->setMinimumWidth(360);
  files->addWidget(importButton, 0, 0);
  files->addWidget(inputLabel_, 0, 1);
  files->addWidget(exportButton, 1, 0);
  files->addWidget(outputLabel_, 1, 1);
  files->addWidget(markButton, 2, 0);
  layout->addLayout(files);

  auto* offset = new QGroupBox(QStringLiteral("Offset Gerber data from Drill data"), this);
  auto* grid = new QGridLayout(offset);
  dx_ = new NumberField(-kLargestOffset, kLargestOffset, 3, NumberField::Decimals::Trimmed, this);
  dx_->setObjectName(QStringLiteral("dX"));
  dy_ = new NumberField(-kLargestOffset, kLargestOffset, 3, NumberField::Decimals::Trimmed, this);
  dy_->setObjectName(QStringLiteral("dY"));
  dxUnit_ = new QLabel(this);
  dyUnit_ = new QLabel(this);
  grid->addWidget(new QLabel(QStringLiteral("dX"), this), 0, 0);
  grid->addWidget(dx_, 0, 1);
  grid->addWidget(dxUnit_, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("dY"), this), 1, 0);
  grid->addWidget(dy_, 1, 1);
  grid->addWidget(dyUnit_, 1, 2);
  layout->addWidget(offset);

  auto* caution = new QLabel(QString::fromLatin1(kFormatCaution), this);
  caution->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
  layout->addWidget(caution);

  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &DrillPanelDialog::acceptTyped);
  layout->addLayout(buttons.row);

  connect(importButton, &QPushButton::clicked, this, &DrillPanelDialog::chooseInput);
  connect(exportButton, &QPushButton::clicked, this, &DrillPanelDialog::chooseOutput);
  connect(markButton, &QPushButton::clicked, this, &DrillPanelDialog::assignMarkDrills);
}

// DrillPanelDialog - Values
// ============================================================================

void DrillPanelDialog::load(const std::string& unitText, const MarkDrillTable& markDrills) {
  unitText_ = unitText;
  settings_ = DrillPanelSettings{};
  settings_.markDrills = markDrills;
  inputLabel_->setText(QString::fromLatin1(kImportLabel));
  outputLabel_->setText(QString::fromLatin1(kExportLabel));
  dx_->setValue(0.0);
  dy_->setValue(0.0);
  dxUnit_->setText(toQString(unitText));
  dyUnit_->setText(toQString(unitText));
}

void DrillPanelDialog::offerInput(const std::string& file) {
  if (file.empty()) return;
  settings_.inputFile = file;
  inputLabel_->setText(toQString(file));
}

DrillPanelSettings DrillPanelDialog::result() const {
  DrillPanelSettings settings = settings_;
  settings.DrillOffsetX = drillOffsetInches(dx_->value(), unitText_);
  settings.DrillOffsetY = drillOffsetInches(dy_->value(), unitText_);
  return settings;
}

// DrillPanelDialog - Buttons
// ============================================================================

void DrillPanelDialog::chooseInput() {
  FileRequest request;
  request.title = QStringLiteral("Import file");
  request.filters = {QStringLiteral("Excellon dril (*.drl)|*.DRL"),
                     QStringLiteral("All drill extension (*.*)|*.*")};
  request.defaultSuffix = QStringLiteral("drl");
  QString file = prompts_.openFileName(this, request);
  if (file.isEmpty()) return;
  settings_.inputFile = toStdString(file);
  inputLabel_->setText(file);
}

void DrillPanelDialog::chooseOutput() {
  FileRequest request;
  request.title = QStringLiteral("Export file");
  request.filters = {QStringLiteral("Excellon drill (*.drl)|*.drl"),
                     QStringLiteral("All drill extension(*.*}|*.*")};
  request.defaultSuffix = QStringLiteral("drl");
  QString file = prompts_.saveFileName(this, request);
  if (file.isEmpty()) return;
  settings_.outputFile = toStdString(file);
  outputLabel_->setText(file);
}

// The mark dialog lives while it is shown, so that this dialog's buttons
// are the only ones among its children otherwise.
void DrillPanelDialog::assignMarkDrills() {
  MarkDrillDialog marks(this);
  marks.load(settings_.markDrills);
  if (marks.exec() == QDialog::Accepted) settings_.markDrills = marks.result();
}

void DrillPanelDialog::acceptTyped() {
  if (typedValuesValid({dx_, dy_})) accept();
}

}  // namespace drumplot
