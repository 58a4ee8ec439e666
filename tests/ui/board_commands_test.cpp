// SPDX-License-Identifier: MIT
// Import board (menu and drop) and the check before plotting (Check job and
// the export), driven through the window.
#include <QLabel>
#include <QMimeData>
#include <QTableWidget>
#include <QUrl>

#include "engine/gerber_reader.h"
#include "output_fixture.h"
#include "ui/board_import_dialog.h"
#include "ui/check_dialog.h"
#include "ui/drill_panel_dialog.h"
#include "ui/export_dialog.h"

namespace drumplot::test {
namespace {

namespace fs = std::filesystem;

// A 2 x 1 inch KiCad board: top copper told by X2, the outline by name, a
// drill file and a text file.
fs::path boardFolder(const fs::path& dir) {
  const std::string frame =
      "%FSLAX24Y24*%%MOIN*%%ADD10C,0.010*%D10*X10000Y10000D02*X30000Y10000D01*X30000Y20000D01*"
      "X10000Y20000D01*X10000Y10000D01*M02*";
  const fs::path folder = dir / "kicad";
  fs::create_directories(folder);
  writeFile(folder / "b-F_Cu.gbr", "%TF.FileFunction,Copper,L1,Top*%" + frame);
  writeFile(folder / "b-Edge_Cuts.gbr", frame);
  writeFile(folder / "b-PTH.drl", "M48\nINCH\nT1C0.030\n%\nT1\nX015000Y015000\nM30\n");
  writeFile(folder / "README.txt", "board b\n");
  return folder;
}

QStringList column(QTableWidget* table, int column) {
  QStringList texts;
  for (int row = 0; row < table->rowCount(); ++row) texts << table->item(row, column)->text();
  return texts;
}

void drop(QWidget* window, const fs::path& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &dropped);
}

TEST_F(OutputWindowTest, ImportBoardByMenuAndByDropThenPanelizeDrillOffersItsDrillFile) {
  start();
  const fs::path folder = boardFolder(dir_);

  // The menu takes any file in the board's folder.
  prompts_.files.push_back(qstr(folder / "README.txt"));
  whenShown<BoardImportDialog>([](BoardImportDialog& dialog) {
    EXPECT_EQ(column(dialog.table(), 0),
              (QStringList{"README.txt", "b-Edge_Cuts.gbr", "b-F_Cu.gbr", "b-PTH.drl"}));
    EXPECT_EQ(column(dialog.table(), 2), (QStringList{"-", "17", "1", "18"}));
    EXPECT_TRUE(dialog.importButton()->isEnabled());
    dialog.importButton()->click();
  });
  trigger("&Job", "Import board (folder or zip)");
  ASSERT_EQ(job().boards.size(), 1u);
  const Board& board = job().boards[0];
  EXPECT_EQ(board.LayerGerber[0], (folder / "b-F_Cu.gbr").generic_string());
  EXPECT_EQ(board.LayerGerber[16], (folder / "b-Edge_Cuts.gbr").generic_string());
  EXPECT_DOUBLE_EQ(board.DataWidth, 2.0);
  EXPECT_NE(readFile(settings_).find("[BoardLayers]\nTopCopper=1\n"), std::string::npos);

  // A dropped folder that holds files of two boards cannot be imported.
  writeFile(folder / "c-F_Cu.gbr", readFile(folder / "b-F_Cu.gbr"));
  whenShown<BoardImportDialog>([](BoardImportDialog& dialog) {
    EXPECT_FALSE(dialog.importButton()->isEnabled());
    EXPECT_TRUE(dialog.note()->text().contains("top copper: b-F_Cu.gbr, c-F_Cu.gbr"));
    button(&dialog, "Cancel")->click();
  });
  drop(window_.get(), folder);
  EXPECT_EQ(job().boards.size(), 1u);

  whenShown<DrillPanelDialog>([&](DrillPanelDialog& dialog) {
    EXPECT_EQ(dialog.result().inputFile, (folder / "b-PTH.drl").generic_string());
    button(&dialog, "&Cancel")->click();
  });
  trigger("&Tools", "Panelize drill");
}

TEST_F(OutputWindowTest, NewFromTemplatePanelizesAndMarksEveryImportedBoard) {
  start();
  const fs::path folder = boardFolder(dir_);
  writeFile(dir_ / "mark.gbr", "%FSLAX24Y24*%%MOIN*%%ADD10C,0.050*%D10*X0Y0D03*M02*");
  writeFile(dir_ / "bad.ini", "[Panel]\nGrid=2\n");
  writeFile(dir_ / "t.ini",
            "[Panel]\nFirst=0.5,0.5\nGrid=2x3\n[Mark1]\nFile=mark.gbr\nOffset=-5,-5\n");
  prompts_.files.push_back(qstr(dir_ / "bad.ini"));  // refused: the job stays as it is
  prompts_.files.push_back(qstr(dir_ / "t.ini"));
  trigger("&Job", "New from template...");
  ASSERT_EQ(prompts_.warnings.size(), 1u);
  EXPECT_TRUE(prompts_.warnings[0].contains("bad.ini:2: Grid=2"))
      << qPrintable(prompts_.warnings[0]);
  trigger("&Job", "New from template...");

  prompts_.files.push_back(qstr(folder / "README.txt"));
  whenShown<BoardImportDialog>([](BoardImportDialog& dialog) { dialog.importButton()->click(); });
  trigger("&Job", "Import board (folder or zip)");
  ASSERT_EQ(job().boards.size(), 7u);  // 2 x 3 boards and the mark
  EXPECT_NEAR(job().boards[5].PosX, 0.5 + 2.0 + 5 / 25.4, 1e-9);
  EXPECT_NEAR(job().boards[5].PosY, 0.5 + 2 * (1.0 + 5 / 25.4), 1e-9);
  const Board& mark = job().boards[6];
  EXPECT_TRUE(mark.IsMark);
  EXPECT_NEAR(mark.PosX + mark.DataWidth / 2, 0.5 - 5 / 25.4, 1e-9);

  // Close, and New on an empty job, end the template: the next board is
  // imported on its own.
  prompts_.answers.push_back(Answer::No);  // the closed job is not saved
  trigger("&Job", "&Close");
  prompts_.files.push_back(qstr(dir_ / "t.ini"));
  trigger("&Job", "New from template...");
  trigger("&Job", "&New");
  prompts_.files.push_back(qstr(folder / "README.txt"));
  whenShown<BoardImportDialog>([](BoardImportDialog& dialog) { dialog.importButton()->click(); });
  trigger("&Job", "Import board (folder or zip)");
  EXPECT_EQ(job().boards.size(), 1u);
}

TEST_F(OutputWindowTest, CheckMarksBoardsAndTheExportAsksBeforeItStarts) {
  start();
  prompts_.files.push_back(qstr(boardFolder(dir_) / "README.txt"));
  whenShown<BoardImportDialog>([](BoardImportDialog& dialog) { dialog.importButton()->click(); });
  trigger("&Job", "Import board (folder or zip)");
  ASSERT_EQ(job().boards.size(), 1u);

  // A new board waits at the far corner, beyond the plotting area.
  const std::map<std::string, int> loadsBefore = gerberFileLoads();
  whenShown<CheckDialog>([](CheckDialog& dialog) {
    EXPECT_FALSE(dialog.goOnButton()->isVisible());
    EXPECT_EQ(column(dialog.table(), 0), QStringList{"error"});
    EXPECT_TRUE(column(dialog.table(), 3).front().contains("beyond the plotting area"));
    EXPECT_TRUE(
        dialog.summary()->text().startsWith("2032 dpi, layers 1, 17: 1 error, 0 warnings."));
    dialog.stopButton()->click();
  });
  trigger("&Job", "Check job");
  const BoardMark* mark = window_->view()->plotArea()->mark(0);
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->outline, QColor(0xFF, 0x00, 0xFF));
  EXPECT_TRUE(mark->text.startsWith("error: Board 1 reaches"));

  // The export: Stop writes nothing; Go on writes the film.
  const fs::path film = dir_ / "board.FPF";
  for (bool goOn : {false, true}) {
    prompts_.files.push_back(qstr(film));
    whenShown<ExportDialog>([goOn](ExportDialog& dialog) {
      if (!goOn) dialog.layerBox(1)->click();
      button(&dialog, "&Export name")->click();
      whenShown<CheckDialog>([goOn](CheckDialog& check) {
        if (goOn) closePreviewWhenShown();
        (goOn ? check.goOnButton() : check.stopButton())->click();
      });
      button(&dialog, "OK")->click();
    });
    trigger("&Job", "E&xport photoplotter bitmap");
    EXPECT_EQ(fs::exists(film), goOn);
  }
  // Check job and the two exports after it (each checking first) read each
  // layer file once.
  int filesRead = 0;
  for (const auto& [file, loads] : gerberFileLoads()) {
    const auto it = loadsBefore.find(file);
    const int read = loads - (it == loadsBefore.end() ? 0 : it->second);
    filesRead += read > 0;
    EXPECT_LE(read, 1) << file;
  }
  EXPECT_GE(filesRead, 2);

  // Moving the board clears its mark: the check saw it elsewhere.
  moveTo(0, "25.4", "25.4");
  EXPECT_EQ(window_->view()->plotArea()->mark(0), nullptr);
}

}  // namespace
}  // namespace drumplot::test
