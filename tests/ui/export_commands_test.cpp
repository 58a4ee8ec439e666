// SPDX-License-Identifier: MIT
// The output dialog in its three modes, and the commands it serves driven
// through the window: the photoplotter export (compared with drumplot-cli,
// and cancelled), the job bitmap, the preview and the print.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "output/job_bitmap.h"
#include "output_fixture.h"
#include "ui/check_dialog.h"
#include "ui/export_dialog.h"
#include "ui/work_dialog.h"

namespace drumplot::test {
namespace {

TEST(ExportDialogTest, ModesShowTheirFieldsAndOpeningResetsTheLineWidths) {
  ScriptedPrompts prompts;
  ExportDialog dialog(prompts);
  dialog.setExportName("/plots/TEST.FPF");
  dialog.load(ExportDialog::Mode::Export, JobSettings::defaultLayerNames());
  dialog.show();
  EXPECT_EQ(dialog.exportNameLabel()->text(), "/plots/TEST.FPF");
  EXPECT_FALSE(dialog.zoomGroup()->button(1)->isVisible());
  ASSERT_EQ(dialog.resolutionGroup()->buttons().size(), 11);
  EXPECT_EQ(dialog.findChild<QLineEdit*>("D-code without  hole:")->text(), "300,500,700");

  PlotterExportSettings preset = dialog.filmSettings().plotter;
  EXPECT_EQ(preset.dpi, 2032);
  EXPECT_EQ(preset.draw.layers, OutputLayers{});  // no layer checked
  EXPECT_EQ(preset.file, "/plots/TEST.FPF");
  EXPECT_FALSE(preset.mirror);

  // The item labelled "1626" exports at 1625 and copies it into the field;
  // "Other.." takes the field's value, which it first sets to 3048.
  dialog.resolutionGroup()->button(1)->click();
  EXPECT_EQ(dialog.otherResolution()->value(), 1625);
  EXPECT_EQ(dialog.filmSettings().plotter.dpi, 1625);
  dialog.resolutionGroup()->button(10)->click();
  EXPECT_EQ(dialog.otherResolution()->value(), 3048);
  typeInto(dialog.otherResolution(), "4800");
  EXPECT_EQ(dialog.filmSettings().plotter.dpi, 4800);

  dialog.layerBox(2)->click();
  typeInto(dialog.findChild<QWidget*>("Both direction"), "-1.5");
  typeInto(dialog.findChild<QWidget*>("Horizontal line"), "0.75");
  typeInto(dialog.findChild<QWidget*>("User notes"), std::string(70, 'n').c_str());
  checkBox(&dialog, "Mirror horizontal")->click();
  checkBox(&dialog, "Use tech. area")->click();
  PlotterExportSettings chosen = dialog.filmSettings().plotter;
  EXPECT_DOUBLE_EQ(chosen.draw.lineWidth_mils, -1.5);
  EXPECT_EQ(chosen.notes, std::string(63, 'n'));  // 63 characters are kept
  EXPECT_TRUE(chosen.draw.techArea);

  // The next opening, as the job bitmap: the line widths and "Other.."
  // start again, the rest is kept; zoom shown, resolution and notes hidden.
  dialog.load(ExportDialog::Mode::JobBitmap, JobSettings::defaultLayerNames());
  EXPECT_FALSE(dialog.exportNameLabel()->isVisible());
  EXPECT_FALSE(dialog.resolutionGroup()->button(0)->isVisible());
  EXPECT_FALSE(dialog.findChild<QWidget*>("User notes")->isVisible());
  EXPECT_TRUE(dialog.zoomGroup()->button(1)->isVisible());
  EXPECT_EQ(dialog.otherResolution()->value(), 3048);
  JobPreviewSettings again = dialog.previewSettings();
  EXPECT_DOUBLE_EQ(again.draw.lineWidth_mils, 0.0);
  EXPECT_TRUE(again.draw.layers[1]);
  EXPECT_TRUE(again.mirror);
  EXPECT_EQ(again.zoom, 1);
  clickRadio(&dialog, "3:1");
  EXPECT_EQ(dialog.previewSettings().zoom, 3);
  EXPECT_DOUBLE_EQ(dialog.filmSettings().plotter.horizontalLine_mils, 0.0);
}

TEST_F(OutputWindowTest, ExportThroughTheDialogWritesWhatTheCliWrites) {
  start("[Setup]\nJednotka=mm\nMemory=10\n");
  std::filesystem::path jobFile = openJobFile(demoJob());
  std::filesystem::create_directory(dir_ / "films");
  // window.FPF, then the film format
  std::filesystem::path exported = dir_ / "films" / "window.tif";
  EXPECT_EQ(childOf<ExportDialog>(window_.get())->exportNameLabel()->text(),
            qstr(dir_ / "TEST.FPF"));

  prompts_.files.push_back(qstr(dir_ / "films" / "window.FPF"));
  QImage overview;
  whenShown<ExportDialog>([&](ExportDialog& dialog) {
    for (int layer : {1, 3}) dialog.layerBox(layer)->click();
    dialog.resolutionGroup()->button(0)->click();  // 1016
    button(&dialog, "&Export name")->click();
    dialog.filmFormat()->setCurrentIndex(1);  // "TIFF, 1 bit"
    checkBox(&dialog, "Negative film")->click();
    typeInto(dialog.findChild<QWidget*>("Both direction"), "1.5");
    typeInto(dialog.findChild<QWidget*>("Horizontal line"), "0.5");
    typeInto(dialog.findChild<QWidget*>("Hole size in  pads :"), "12");
    typeInto(dialog.findChild<QWidget*>("D-code without  hole:"), "11,12");
    typeInto(dialog.findChild<QWidget*>("User notes"), "panel 7");
    checkBox(&dialog, "Mirror horizontal")->click();
    // The check finds the demo's silk reaching beyond its board: go on.
    whenShown<CheckDialog>([](CheckDialog& check) { check.goOnButton()->click(); });
    closePreviewWhenShown(&overview);
    button(&dialog, "OK")->click();
  });
  trigger("&Job", "E&xport photoplotter bitmap");
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join("; ").toStdString();
  EXPECT_EQ(overview.size(), QSize(400, 400));
  EXPECT_EQ(status(JobStatusBar::ProgressPanel), "");
  // The name chooser opened in the program's folder; the next one opens where
  // the film went.
  prompts_.files.push_back(QString());
  whenShown<ExportDialog>([&](ExportDialog& dialog) {
    button(&dialog, "&Export name")->click();
    button(&dialog, "Cancel")->click();
  });
  trigger("&Job", "E&xport photoplotter bitmap");
  ASSERT_EQ(prompts_.requests.size(), 3u);  // Open, then the two choosers
  EXPECT_EQ(prompts_.requests[1].startFile, qstr(dir_ / "TEST.FPF"));
  EXPECT_EQ(prompts_.requests[2].startFile, qstr(exported));

  std::filesystem::path fromCli = dir_ / "cli.tif";
  // clang-format off
  runCli({"export", qstr(jobFile), "-o", qstr(fromCli), "--settings", qstr(settings_),
          "--layers", "1,3", "--dpi", "1016", "--line-width", "1.5", "--horizontal-line", "0.5",
          "--holes", "12", "--no-hole", "11,12", "--notes", "panel 7", "--mirror", "--negative"});
  // clang-format on
  std::string windowBytes = readFile(exported);
  ASSERT_GT(windowBytes.size(), 1000u);
  EXPECT_TRUE(windowBytes == readFile(fromCli)) << "the films differ";

  // Verify film, with the dialog's settings (the line widths, reset at each
  // opening, typed again): the window's film is identical; one exported
  // without the mirror differs, says so and shows where.
  runCli({"export",
          qstr(jobFile),
          "-o",
          qstr(dir_ / "plain.tif"),
          "--settings",
          qstr(settings_),
          "--layers",
          "1,3",
          "--dpi",
          "1016",
          "--line-width",
          "1.5",
          "--horizontal-line",
          "0.5",
          "--holes",
          "12",
          "--no-hole",
          "11,12",
          "--notes",
          "panel 7",
          "--negative"});
  for (const auto& [film, says] : {std::pair{exported, "identical"},
                                   std::pair{dir_ / "plain.tif", "matches without --mirror"}}) {
    prompts_.files.push_back(qstr(film));
    QImage differences;
    if (film != exported) closePreviewWhenShown(&differences);
    whenShown<ExportDialog>([&](ExportDialog& dialog) {
      typeInto(dialog.findChild<QWidget*>("Both direction"), "1.5");
      typeInto(dialog.findChild<QWidget*>("Horizontal line"), "0.5");
      button(&dialog, "OK")->click();
    });
    trigger("&Job", "Verify film...");
    ASSERT_FALSE(prompts_.messages.isEmpty());
    EXPECT_TRUE(prompts_.messages.last().contains(says)) << prompts_.messages.last().toStdString();
    EXPECT_EQ(differences.isNull(), film == exported);
  }
}

TEST_F(OutputWindowTest, CancelledExportLeavesTheOldFileAndTheWindowWorking) {
  start("[Setup]\nJednotka=mm\nMemory=10\n");
  openJobFile(demoJob());
  std::filesystem::path target = dir_ / "TEST.FPF";
  writeFile(target, "an older plot");

  QStringList progressSeen;
  bool cancelShown = false;
  whenShown<ExportDialog>([&](ExportDialog& dialog) {
    for (int layer = 1; layer <= 3; ++layer) dialog.layerBox(layer)->click();
    dialog.resolutionGroup()->button(9)->click();  // 65024 dpi: seconds of work
    whenShown<CheckDialog>([](CheckDialog& check) { check.goOnButton()->click(); });
    whenShown<WorkDialog>([&](WorkDialog& work) {
      cancelShown = work.cancelButton()->isVisible();
      // The window behind keeps showing the progress every 333 ms.
      EXPECT_TRUE(QTest::qWaitFor(
          [&] { return status(JobStatusBar::ProgressPanel).startsWith("Work "); }, 5000));
      progressSeen << status(JobStatusBar::ProgressPanel);
      work.cancelButton()->click();
    });
    button(&dialog, "OK")->click();
  });
  trigger("&Job", "E&xport photoplotter bitmap");

  EXPECT_TRUE(cancelShown);
  ASSERT_EQ(progressSeen.size(), 1);
  EXPECT_TRUE(progressSeen[0].startsWith("Work " + qstr(target) + "  "))
      << progressSeen[0].toStdString();
  EXPECT_TRUE(progressSeen[0].endsWith(" %"));
  EXPECT_EQ(readFile(target), "an older plot");
  EXPECT_TRUE(prompts_.warnings.isEmpty());
  EXPECT_EQ(status(JobStatusBar::ProgressPanel), "");
  // The window is free again: it closes without asking about long work.
  prompts_.answers.push_back(Answer::No);
  EXPECT_TRUE(window_->close());
}

TEST_F(OutputWindowTest, AnExportWithoutLayersSaysSoAndWritesNothing) {
  start();
  openJobFile(demoJob());
  whenShown<ExportDialog>([](ExportDialog& dialog) { button(&dialog, "OK")->click(); });
  trigger("&Job", "E&xport photoplotter bitmap");
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_TRUE(prompts_.warnings[0].contains("no board has a Gerber file on a chosen layer"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "TEST.FPF"));

  whenShown<ExportDialog>([](ExportDialog& dialog) { button(&dialog, "Cancel")->click(); });
  toolAction(*window_, "Export Gerber into bitmap file ")->trigger();
  EXPECT_EQ(prompts_.warnings.size(), 1);
}

TEST_F(OutputWindowTest, JobBitmapGoesToClipBmpInTheProgramFolder) {
  start();
  // Reaches 0.7 inch.
  openJobFile(oneBoardJob(
      "pads.gbr", "%ADD10R,0.100X0.100*%\nD10*\nX1000Y1000D03*\nX6000Y6000D03*\n", 0.2, 0.2));
  whenShown<ExportDialog>([](ExportDialog& dialog) {
    dialog.layerBox(1)->click();
    button(&dialog, "OK")->click();
  });
  trigger("&Job", "250 dpi bitmap (CLIP.BMP)");
  std::filesystem::path clip = dir_ / "Clip.Bmp";
  EXPECT_EQ(prompts_.messages, QStringList{"Data is tranferred into " + qstr(clip)});
  QImageReader reader(qstr(clip));  // 0.7 inch: 8448 pixels a side
  EXPECT_EQ(reader.format(), "bmp");
  EXPECT_EQ(reader.size(), QSize(8448, 8448));
}

TEST_F(OutputWindowTest, PreviewIsTurnedUpsideDownUnlessMirrored) {
  start();
  openJobFile(twoBoardJob());
  PreviewLegend legend;
  auto preview = [&](bool mirror) {
    QImage shown;
    whenShown<ExportDialog>([&](ExportDialog& dialog) {
      EXPECT_TRUE(dialog.zoomGroup()->button(1)->isVisible());  // loaded as the preview
      dialog.layerBox(1)->setChecked(true);
      dialog.layerBox(2)->setChecked(true);
      dialog.layerBox(3)->setChecked(true);  // no board has a file there
      checkBox(&dialog, "Mirror horizontal")->setChecked(mirror);
      whenShown<PreviewWindow>([&](PreviewWindow& window) {
        shown = window.shownImage();
        legend = window.legend();
        exitByMenu(&window);
      });
      button(&dialog, "OK")->click();
    });
    menuAction(*window_, "&Job", "Preview")->trigger();
    return shown;
  };
  QImage mirrored = preview(true);
  EXPECT_TRUE(legend.mirror.startsWith("Mirrored: ")) << legend.mirror.toStdString();
  QImage turned = preview(false);
  EXPECT_TRUE(legend.mirror.startsWith("Not mirrored: ")) << legend.mirror.toStdString();
  // The legend: the layers drawn, in their colours.
  ASSERT_EQ(legend.layers.size(), 2u);
  EXPECT_EQ(legend.layers[0].name, "1 Lay_1");
  EXPECT_EQ(legend.layers[1].color, QColor(Qt::red));
  ASSERT_FALSE(mirrored.isNull());
  EXPECT_EQ(turned, mirrored.mirrored(false, true));
  EXPECT_NE(turned, mirrored);
  // Fitted to the window: the job is wider than the window's shape.
  QSize area = childOf<PreviewWindow>(window_.get())->previewAreaSize();
  EXPECT_EQ(mirrored.width(), area.width() - 6);
  // Layer 1 blue and layer 2 red, as the settings' defaults say.
  EXPECT_FALSE(mirrored.allGray());
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join("; ").toStdString();
}

TEST_F(OutputWindowTest, PrintToAPdfFileAfterThePrintDialogAndTheOutputDialog) {
  start();
  openJobFile(twoBoardJob());
  // The print dialog cancelled: the output dialog does not show.
  printerAccepts_ = false;
  trigger("&Job", "&Print");
  EXPECT_EQ(printDialogs_, 1);
  EXPECT_FALSE(std::filesystem::exists(pdf_));

  printerAccepts_ = true;
  whenShown<ExportDialog>([](ExportDialog& dialog) {
    dialog.layerBox(1)->setChecked(true);
    button(&dialog, "OK")->click();
  });
  toolAction(*window_, "Print preview")->trigger();
  EXPECT_EQ(printDialogs_, 2);
  ASSERT_TRUE(std::filesystem::exists(pdf_));
  std::string pdf = readFile(pdf_);
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_NE(pdf.find("/Image"), std::string::npos);  // the job went in as one picture
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join("; ").toStdString();
}

}  // namespace
}  // namespace drumplot::test
