// SPDX-License-Identifier: MIT
// The Preference menu's dialogs through the main window: what Ok changes and
// writes, and that Cancel changes and writes nothing.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest/QTest>

#include "job/settings_file.h"
#include "ui/data_format_dialog.h"
#include "ui/layer_colors_dialog.h"
#include "ui/layer_panel_view.h"
#include "ui/mark_table_dialog.h"
#include "ui/memory_dialog.h"
#include "ui/plot_area_dialog.h"
#include "ui/ruler.h"
#include "ui/tech_area_dialog.h"
#include "ui/unit_dialog.h"
#include "window_fixture.h"

namespace drumplot::test {
namespace {

TEST_F(WindowTest, UnitChangesCaptionRulersAndStatusAndIsWritten) {
  start();
  PlotAreaPanel* area = window_->view()->plotArea();
  EXPECT_DOUBLE_EQ(window_->view()->leftRuler()->unitsPerPixel(), 25.4 / job().ScreenScale);

  whenShown<UnitDialog>([](UnitDialog& dialog) {
    clickRadio(&dialog, "inch");
    button(&dialog, "&Cancel")->click();
  });
  trigger("&Preference", "&Units");
  EXPECT_EQ(job().settings.unitText, "mm");
  EXPECT_EQ(readFile(settings_), "[Setup]\nJednotka=mm\n");

  whenShown<UnitDialog>([](UnitDialog& dialog) {
    clickRadio(&dialog, "inch");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Preference", "&Units");
  EXPECT_EQ(job().settings.unitCode, 1);
  EXPECT_EQ(readUnitSetting(settings_), "Inch");
  EXPECT_EQ(status(JobStatusBar::UnitPanel), "Inch");
  EXPECT_EQ(area->caption(), "Plotting area (13.39Inch x 14.57Inch)");
  EXPECT_EQ(window_->view()->topRuler()->caption(), "Inch");
  EXPECT_DOUBLE_EQ(window_->view()->leftRuler()->unitsPerPixel(), 1.0 / job().ScreenScale);
}

TEST_F(WindowTest, PlottingAreaSizeChecksTypedRangesRescalesAndWrites) {
  start("[Setup]\nJednotka=Inch\n");
  std::string before = readFile(settings_);
  whenShown<PlotAreaDialog>([](PlotAreaDialog& dialog) {
    auto* circumference = dialog.findChild<QLineEdit*>("Drum circumference");
    EXPECT_EQ(circumference->text(), "13.39");
    typeInto(circumference, "30");  // above 25 inches: Ok is refused
    button(&dialog, "&Ok")->click();
    EXPECT_TRUE(dialog.isVisible());
    button(&dialog, "&Cancel")->click();
  });
  trigger("&Preference", "&Plotting area size");
  EXPECT_EQ(readFile(settings_), before);  // Cancel writes nothing
  EXPECT_EQ(window_->view()->plotArea()->size(), QSize(757, 824));

  whenShown<PlotAreaDialog>([](PlotAreaDialog& dialog) {
    typeInto(dialog.findChild<QWidget*>("Drum circumference"), "10");
    typeInto(dialog.findChild<QWidget*>("Drum axis"), "8");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Preference", "&Plotting area size");
  JobSettings written = readSettings(settings_);
  EXPECT_DOUBLE_EQ(written.PlotWidth, 10.0);
  EXPECT_DOUBLE_EQ(written.PlotHeight, 8.0);
  // 960 / 824 < 10 / 8: the width decides, 96 pixels per inch.
  EXPECT_EQ(window_->view()->plotArea()->size(), QSize(960, 768));
  EXPECT_EQ(window_->view()->plotArea()->caption(), "Plotting area (10.00Inch x  8.00Inch)");
  EXPECT_DOUBLE_EQ(window_->view()->topRuler()->unitsPerPixel(), 1.0 / 96.0);

  start();  // in millimetres the ranges are their own
  whenShown<PlotAreaDialog>([](PlotAreaDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Drum axis")->text(), "370.00");
    typeInto(dialog.findChild<QWidget*>("Drum axis"), "600");  // the axis allows 520
    button(&dialog, "&Ok")->click();
    EXPECT_TRUE(dialog.isVisible());
    typeInto(dialog.findChild<QWidget*>("Drum circumference"), "600");  // up to 650
    typeInto(dialog.findChild<QWidget*>("Drum axis"), "500");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Preference", "&Plotting area size");
  EXPECT_DOUBLE_EQ(job().settings.PlotWidth, 600 / 25.4);
  EXPECT_DOUBLE_EQ(job().settings.PlotHeight, 500 / 25.4);
}

TEST_F(WindowTest, LayerNamesAndColoursKeepTheActiveLayer) {
  start();
  LayerPanelView* layers = window_->view()->layerPanel();
  layers->layerCombo()->setCurrentIndex(2);
  std::string before = readFile(settings_);

  prompts_.colors = {QColor(1, 2, 3)};
  whenShown<LayerColorsDialog>([](LayerColorsDialog& dialog) {
    typeInto(dialog.findChild<QWidget*>("Name3"), "Top_copper_outer");
    dialog.findChild<QAbstractButton*>("Color3")->click();
    button(&dialog, "&Cancel")->click();
  });
  trigger("&Preference", "&Colors");
  EXPECT_EQ(readFile(settings_), before);
  EXPECT_EQ(job().settings.LayerNames[2], "Lay_3");

  prompts_.colors = {QColor(1, 2, 3), std::nullopt};  // the second pick is cancelled
  whenShown<LayerColorsDialog>([](LayerColorsDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Name3")->text(), "Lay_3");  // loaded afresh
    typeInto(dialog.findChild<QWidget*>("Name3"), "Top_copper_outer");
    dialog.findChild<QAbstractButton*>("Color3")->click();
    dialog.findChild<QAbstractButton*>("Color1")->click();
    button(&dialog, "&Ok")->click();
  });
  trigger("&Preference", "&Colors");
  EXPECT_EQ(layers->layerCombo()->currentIndex(), 2);
  EXPECT_EQ(layers->layerCombo()->currentText(), "Top_copper_outer");
  EXPECT_EQ(layers->nameLabel(3)->text(), "Top_copper_outer");
  // The name column fits the longest name, and the Gerber cells keep their place.
  QLabel* name = layers->nameLabel(3);
  EXPECT_GE(name->width(), name->fontMetrics().horizontalAdvance(name->text()));
  EXPECT_LE(name->geometry().right(), layers->gerberCell(3)->x());
  EXPECT_EQ(layers->width() - layers->gerberCell(3)->x(), 200);
  EXPECT_EQ(job().storedActiveLayer, 3);
  JobSettings written = readSettings(settings_);
  EXPECT_EQ(written.LayerNames[2], "Top_copper_outer");
  EXPECT_EQ(written.LayerColors[2], 0x030201u);
  EXPECT_EQ(written.LayerColors[0], 0xFF0000u);  // kept
}

TEST_F(WindowTest, MemorySettingIsWrittenOnOkOnly) {
  start();
  whenShown<MemoryDialog>([](MemoryDialog& dialog) {
    auto* spin = dialog.findChild<QSpinBox*>("Spe");
    EXPECT_EQ(spin->value(), 64);
    EXPECT_EQ(spin->minimum(), 10);
    EXPECT_EQ(spin->maximum(), 768);
    typeInto(spin, "500");
    button(&dialog, "Cancel")->click();
  });
  trigger("&Preference", "Memory settings");
  EXPECT_EQ(readSettings(settings_).memoryMegabytes, 64);

  whenShown<MemoryDialog>([](MemoryDialog& dialog) {
    typeInto(dialog.findChild<QSpinBox*>("Spe"), "128");
    button(&dialog, "OK")->click();
  });
  trigger("&Preference", "Memory settings");
  EXPECT_EQ(job().settings.memoryMegabytes, 128);
  EXPECT_EQ(readSettings(settings_).memoryMegabytes, 128);
}

TEST_F(WindowTest, DataFormatFromTheMenuOrADoubleClickOnTheStatusBar) {
  start();
  whenShown<DataFormatDialog>([](DataFormatDialog& dialog) {
    typeInto(dialog.findChild<QSpinBox*>("Integer"), "3");
    button(&dialog, "Cancel")->click();
  });
  trigger("&Preference", "Data format");
  EXPECT_EQ(job().CurrentFormat, DataFormat{});

  whenShown<DataFormatDialog>([](DataFormatDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QSpinBox*>("Integer")->value(), 2);
    typeInto(dialog.findChild<QSpinBox*>("Integer"), "3");
    typeInto(dialog.findChild<QSpinBox*>("Decimal"), "4");
    clickRadio(&dialog, "Incremental");
    clickRadio(&dialog, "None");
    clickRadio(&dialog, "Metric");
    button(&dialog, "OK")->click();
  });
  QTest::mouseDClick(window_->statusPanels()->panelLabel(JobStatusBar::FormatPanel),
                     Qt::LeftButton);
  EXPECT_EQ(status(JobStatusBar::FormatPanel), "F: RS274 X,D 3:4,Incr mm None");
  importMaster(demoFile("demo-bottom.gbr"));
  EXPECT_EQ(job().boards[0].format, (DataFormat{3, 4, ZeroSuppression::None, true, false}));
}

TEST_F(WindowTest, TechAreaShowsTheDisplayUnitAndWritesMillimetres) {
  start("[Setup]\nJednotka=Inch\n");
  whenShown<TechAreaDialog>([](TechAreaDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Distance from the board")->text(), "0.25");
    typeInto(dialog.findChild<QWidget*>("Left width"), "0.1");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Preference", "&Tech area");
  EXPECT_DOUBLE_EQ(job().settings.tech.left_mm, 2.54);
  EXPECT_DOUBLE_EQ(job().settings.tech.distance_mm, 6.35);
  EXPECT_DOUBLE_EQ(readSettings(settings_).tech.left_mm, 2.54);
}

TEST_F(WindowTest, MarkTableOkEndsTheCellEditAndCancelDiscardsTheCopy) {
  start();
  std::string before = readFile(settings_);
  whenShown<MarkTableDialog>([](MarkTableDialog& dialog) {
    auto* table = dialog.findChild<QTableWidget*>();
    table->setCurrentCell(0, 1);
    table->editItem(table->item(0, 1));
    QTest::keyClicks(QApplication::focusWidget(), "Target");
    button(&dialog, "&Cancel")->click();
  });
  trigger("&Preference", "&Mark");
  EXPECT_EQ(readFile(settings_), before);
  EXPECT_EQ(job().settings.marks[0].name, "");

  // Paths are kept whole; one a job file cannot hold is refused when it is set.
  QString longPath = "/" + QString(195, 'p') + ".gbr";
  prompts_.files = {"/" + QString(250, 'p'), longPath};
  whenShown<MarkTableDialog>([](MarkTableDialog& dialog) {
    auto* table = dialog.findChild<QTableWidget*>();
    EXPECT_EQ(table->item(0, 1)->text(), "");  // the cancelled edit is gone
    table->setCurrentCell(1, 1);
    button(&dialog, "&Set Path-Name")->click();
    EXPECT_EQ(table->item(1, 2)->text(), "");
    button(&dialog, "&Set Path-Name")->click();
    table->editItem(table->item(1, 1));
    QTest::keyClicks(QApplication::focusWidget(), "Target");
    button(&dialog, "&Ok")->click();  // the open cell edit counts
  });
  trigger("&Preference", "&Mark");
  const MarkEntry& entry = job().settings.marks[1];
  EXPECT_EQ(entry.name, "Target");
  EXPECT_EQ(entry.path, longPath.toStdString());
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_TRUE(prompts_.warnings[0].startsWith("Mark 2: /ppp"))
      << prompts_.warnings[0].toStdString();
  EXPECT_EQ(readSettings(settings_).marks[1], entry);
}

}  // namespace
}  // namespace drumplot::test
