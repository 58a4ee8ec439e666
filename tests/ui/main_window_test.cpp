// SPDX-License-Identifier: MIT
// The main window driven through its menus, pop-up and mouse: start-up,
// import, drags, moves, panelizing, deleting, marks and the job file flows.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>

#include "job/job_file.h"
#include "job/settings_file.h"
#include "ui/aperture_table_dialog.h"
#include "ui/layer_panel_view.h"
#include "ui/panelize_dialog.h"
#include "ui/select_mark_dialog.h"
#include "ui/unit_dialog.h"
#include "window_fixture.h"

namespace drumplot::test {
namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

TEST_F(WindowTest, FirstStartWithoutSettingsUsesDefaultsAndLaysOutTheScreen) {
  start("");
  EXPECT_EQ(window_->windowTitle(), "NONAME.WPR");
  EXPECT_EQ(readSettings(settings_).unitText, "Inch");  // the unit key was written
  EXPECT_EQ(status(JobStatusBar::UnitPanel), "Inch");
  EXPECT_EQ(status(JobStatusBar::FormatPanel), "F: RS274 X,D 2:3,Abs Inch Leading");
  EXPECT_TRUE(prompts_.messages.isEmpty());  // 64 MB: no warning
  PlotAreaPanel* area = window_->view()->plotArea();
  EXPECT_EQ(area->size(), QSize(757, 824));  // 1280 x 1024: 56.57 pixels per inch
  EXPECT_EQ(area->caption(), "Plotting area (13.39Inch x 14.57Inch)");
  EXPECT_EQ(area->color(), QColor(0x80, 0x80, 0x80));
  // "Apt" waits for a board to have been selected.
  EXPECT_FALSE(toolAction(*window_, "Import apertures (active layer)")->isEnabled());
}

// A name beginning with a space is no mark.
TEST_F(WindowTest, LowMemoryWarnsOnceAtStartUpAndABlankMarkTableHasNoMark) {
  start("[Setup]\nJednotka=mm\nmemory=32\nNameM1=\" Target\"\n");
  QApplication::processEvents();
  const QString lowMemory =
      "Please set memory usage for rasterizing (Preference->MemorySettings) in menu";
  EXPECT_EQ(prompts_.messages, QStringList{lowMemory});
  trigger("&Edit", "&Insert mark");
  EXPECT_EQ(prompts_.messages, (QStringList{lowMemory, "No mark defined"}));
}

// The keys of the menu items that have one.
TEST_F(WindowTest, MenuShortcuts) {
  start();
  const struct {
    const char* menu;
    const char* item;
    const char* key;
  } keys[] = {
      // clang-format off
      {"&Job", "&New", "Ctrl+N"},  {"&Job", "&Open", "F3"},  {"&Job", "&Save", "F2"},
      {"&Job", "E&xport photoplotter bitmap", "F4"},          {"&Job", "Preview", "F6"},
      {"&Job", "Import Master Gerber (insert new board)", "Ctrl+I"},
      {"&Job", "&Exit", "Alt+X"},  {"&Edit", "Delete board", "Ctrl+Del"},
      {"&Preference", "Data format", "F9"},  {"&Preference", "Aperture table", "F8"},
      // clang-format on
  };
  for (const auto& k : keys) {
    EXPECT_EQ(menuAction(*window_, k.menu, k.item)->shortcut().toString(), k.key) << k.item;
  }
}

TEST_F(WindowTest, ImportMakesASelectedBoardOnTheActiveLayerOfAtLeastFivePixels) {
  start();
  window_->view()->layerPanel()->layerCombo()->setCurrentIndex(2);  // layer 3
  std::filesystem::path tiny = dir_ / "tiny.gbr";
  writeFile(tiny, "%FSLAX24Y24*%%MOIN*%%ADD10C,0.01*%D10*X0Y0D02*X0100Y0100D01*M02*");
  importMaster(tiny);
  ASSERT_EQ(job().boards.size(), 1u);
  EXPECT_EQ(job().boards[0].LayerGerber[2], tiny.string());
  // At the far corner; 0.01 inch is less than one pixel.
  EXPECT_EQ(boardView(0).rect, QRect(757 - 30, 1, 5, 5));
  EXPECT_EQ(boardView(0).color, kRed);
  EXPECT_EQ(boardView(0).caption, qstr(tiny));
  EXPECT_EQ(boardView(0).label, "1 tiny.gbr");
  EXPECT_EQ(window_->view()->layerPanel()->gerberCell(3)->text(), qstr(tiny));
  EXPECT_TRUE(toolAction(*window_, "Import apertures (active layer)")->isEnabled());
}

TEST_F(WindowTest, LeftDragMovesAnUnlockedBoardOnly) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  QPoint before = boardView(0).rect.topLeft();
  mouseOnBoard(0, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseMove, {15, 12}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(boardView(0).rect.topLeft(), before + QPoint(10, 7));
  // The board keeps the mouse while the button is down, even past its edge.
  mouseOnBoard(0, QEvent::MouseMove, {-25, 5}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(boardView(0).rect.topLeft(), before + QPoint(-20, 7));

  // Shift, or a second button held, moves nothing and says nothing.
  QPoint moved = boardView(0).rect.topLeft();
  mouseOnBoard(0, QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  mouseOnBoard(0, QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
  mouseOnBoard(0, QEvent::MouseButtonRelease, {30, 30}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(boardView(0).rect.topLeft(), moved);
  EXPECT_TRUE(prompts_.messages.isEmpty());

  // Locked through the pop-up: every move event says so, nothing moves.
  popupCommand(0, "Lock");
  EXPECT_TRUE(job().boards[0].Locked);
  mouseOnBoard(0, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseMove, {9, 9}, Qt::NoButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseMove, {12, 12}, Qt::NoButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseButtonRelease, {12, 12}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(prompts_.messages, QStringList(2, "This board is locked"));
  EXPECT_EQ(boardView(0).rect.topLeft(), moved);

  popupCommand(0, "Unlock");
  EXPECT_FALSE(job().boards[0].Locked);
}

TEST_F(WindowTest, MoveToTakesMillimetresOrInchesAndPlacesLockedBoards) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  popupCommand(0, "Lock");
  moveTo(0, "25.4", "50.8");
  EXPECT_DOUBLE_EQ(job().boards[0].PosX, 1.0);
  EXPECT_DOUBLE_EQ(job().boards[0].PosY, 2.0);
  double scale = job().ScreenScale;
  EXPECT_EQ(boardView(0).rect.topLeft(), QPoint(toScreen_px(1.0, scale), toScreen_px(2.0, scale)));
  EXPECT_TRUE(prompts_.messages.isEmpty());

  whenShown<UnitDialog>([](UnitDialog& dialog) {
    EXPECT_TRUE(dialog.findChild<QRadioButton*>()->isChecked());  // "mm", from the file
    clickRadio(&dialog, "inch");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Preference", "&Units");
  ASSERT_EQ(job().settings.unitText, "Inch");

  whenShown<CoordinatesDialog>([](CoordinatesDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("X")->text(), "1.0");  // prefilled in inches
    EXPECT_EQ(dialog.findChild<QLineEdit*>("- Y")->text(), "2.0");
    typeInto(dialog.findChild<QWidget*>("X"), "2");
    typeInto(dialog.findChild<QWidget*>("- Y"), "1.5");
    button(&dialog, "&Ok")->click();
  });
  popupCommand(0, "Move to");
  EXPECT_DOUBLE_EQ(job().boards[0].PosX, 2.0);
  EXPECT_DOUBLE_EQ(job().boards[0].PosY, 1.5);

  // Cancel leaves the board where it is.
  whenShown<CoordinatesDialog>([](CoordinatesDialog& dialog) {
    typeInto(dialog.findChild<QWidget*>("X"), "7");
    button(&dialog, "&Cancel")->click();
  });
  popupCommand(0, "Move to");
  EXPECT_DOUBLE_EQ(job().boards[0].PosX, 2.0);
}

TEST_F(WindowTest, MousePositionOverThePlottingAreaOnly) {
  start();
  PlotAreaPanel* area = window_->view()->plotArea();
  sendMouse(area, QEvent::MouseMove, {100, 0}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(status(JobStatusBar::MousePanel), "45 : 0");  // 100 / 56.57 inch = 44.9 mm
  importMaster(demoFile("demo-top.gbr"));
  mouseOnBoard(0, QEvent::MouseMove, {1, 1}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(status(JobStatusBar::MousePanel), "45 : 0");  // over a board: unchanged
}

TEST_F(WindowTest, PanelizeOneByOneAddsThreeLockedCopiesInOrderThenDeleteSelectsTheLast) {
  start();
  trigger("&Tools", "&Panelize board");  // no board selected: a dialog here would wait for ever
  importMaster(demoFile("demo-top.gbr"));
  moveTo(0, "12.7", "12.7");  // 0.5 inch
  whenShown<PanelizeDialog>([](PanelizeDialog& dialog) {
    typeInto(dialog.findChild<QSpinBox*>("Repeat X"), "3");
    button(&dialog, "&Cancel")->click();
  });
  trigger("&Tools", "&Panelize board");
  EXPECT_EQ(job().boards.size(), 1u);
  whenShown<PanelizeDialog>([](PanelizeDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Distance X")->text(), "5.0");
    EXPECT_EQ(dialog.findChild<QSpinBox*>("Repeat X")->value(), 0);
    typeInto(dialog.findChild<QSpinBox*>("Repeat X"), "1");
    typeInto(dialog.findChild<QSpinBox*>("Repeat Y"), "1");
    button(&dialog, "&Ok")->click();
  });
  toolAction(*window_, "Panelize selected board")->trigger();

  ASSERT_EQ(job().boards.size(), 4u);
  // The copies' order and pitch are the library's; here the 5 mm gap arrives in inches.
  const Board& source = job().boards[0];
  EXPECT_NEAR(job().boards[3].PosX, 0.5 + source.DataWidth + 5.0 / 25.4, 1e-12);
  EXPECT_NEAR(job().boards[3].PosY, 0.5 + source.DataHeight + 5.0 / 25.4, 1e-12);
  EXPECT_EQ(boardView(3).color, kGreen);
  EXPECT_EQ(boardView(0).color, kRed);

  // Relative move: the copies are locked, the source is not.
  whenShown<CoordinatesDialog>([](CoordinatesDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("dX")->text(), "0.0");
    typeInto(dialog.findChild<QWidget*>("dX"), "25.4");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Edit", "Relative move of locked boards ");
  EXPECT_DOUBLE_EQ(job().boards[0].PosX, 0.5);
  EXPECT_NEAR(job().boards[1].PosX, 1.5, 1e-12);

  trigger("&Edit", "Delete board");
  ASSERT_EQ(window_->view()->plotArea()->boardCount(), 3u);
  EXPECT_EQ(boardView(2).color, kRed);
}

TEST_F(WindowTest, InsertMarkFromTheMarkTable) {
  std::filesystem::path mark = tempDir() / "mark.gbr";
  writeFile(mark, readFile(demoFile("demo-mark.gbr")));
  start("[Setup]\nJednotka=mm\nNameM1=Target\nPathM1=" + mark.string() + "\nNameM2=Cross\n");

  whenShown<SelectMarkDialog>([](SelectMarkDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QListWidget*>()->count(), 2);
    button(&dialog, "&Select")->click();  // no line chosen: nothing
  });
  trigger("&Edit", "&Insert mark");
  EXPECT_TRUE(job().boards.empty());

  whenShown<SelectMarkDialog>([](SelectMarkDialog& dialog) {
    dialog.findChild<QListWidget*>()->item(0)->setSelected(true);
    button(&dialog, "&Select")->click();
  });
  trigger("&Edit", "&Insert mark");
  ASSERT_EQ(job().boards.size(), 1u);
  EXPECT_EQ(job().boards[0].MarkName, "Target");
  // Labelled with its mark name, and large enough to see and to take with the mouse.
  EXPECT_EQ(boardView(0).label, "1 Target");
  const QRect& shown = boardView(0).rect;
  EXPECT_EQ(shown.size(), QSize(kMinMarkSide_px, kMinMarkSide_px));
  const ScreenRect& place = job().boards[0].screen;
  EXPECT_EQ(shown.center(), QRect(place.left, place.top, place.Width, place.Height).center());
  EXPECT_EQ(window_->view()->layerPanel()->gerberCell(18)->text(), qstr(mark));
  EXPECT_EQ(boardView(0).color, kRed);
  EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(WindowTest, ImportAndAddGerberAskBeforeTakingASizeNoPlotCanMean) {
  start();
  const std::filesystem::path huge = dir_ / "huge.gbr";
  writeFile(huge, "X1000Y1000D02*X99999999Y1000D01*M02*");  // 99998.999 inch as 2.3
  prompts_.answers = {Answer::No};
  importMaster(huge);
  EXPECT_TRUE(job().boards.empty());
  EXPECT_TRUE(prompts_.questions.back().startsWith(qstr(huge) + "\rthe data measures 99998.999 x"));
  EXPECT_TRUE(
      prompts_.questions.back().endsWith("check the data format.\rImport it all the same?"));
  prompts_.answers = {Answer::Yes};
  importMaster(huge);
  ASSERT_EQ(job().boards.size(), 1u);

  importMaster(demoFile("demo-top.gbr"));
  prompts_.answers = {Answer::No};
  prompts_.files.push_back(qstr(huge));
  trigger("&Job", "Import associated Gerber's (active layer)");
  EXPECT_EQ(job().boards[1].LayerGerber[0], demoFile("demo-top.gbr").string());
  prompts_.answers = {Answer::Yes};
  prompts_.files.push_back(qstr(huge));
  trigger("&Job", "Import associated Gerber's (active layer)");
  EXPECT_EQ(job().boards[1].LayerGerber[0], huge.string());
}

TEST_F(WindowTest, AddGerberNamesTheActiveLayerOfTheSelectedBoard) {
  start();
  QAction* gbr = toolAction(*window_, "Import associated Gerber's (active layer)");
  trigger("&Job", "Import associated Gerber's (active layer)");  // never selected: nothing
  gbr->trigger();
  EXPECT_TRUE(prompts_.requests.empty());
  importMaster(demoFile("demo-top.gbr"));
  const double width = job().boards[0].DataWidth;
  window_->view()->layerPanel()->layerCombo()->setCurrentIndex(1);  // layer 2
  QString bottom = qstr(demoFile("demo-bottom.gbr"));
  prompts_.files.push_back(bottom);
  trigger("&Job", "Import associated Gerber's (active layer)");
  EXPECT_EQ(job().boards[0].LayerGerber[1], bottom.toStdString());
  EXPECT_EQ(window_->view()->layerPanel()->gerberCell(2)->text(), bottom);

  // "Gbr" shows the aperture table before the chooser; Cancel there names
  // nothing: the layer keeps its file.
  prompts_.files.push_back(QString());
  bool tableShown = false;
  whenShown<ApertureTableDialog>([&](ApertureTableDialog& dialog) {
    tableShown = true;
    EXPECT_EQ(prompts_.requests.size(), 2u);  // the import and the first add only
    button(&dialog, "&Cancel")->click();
  });
  gbr->trigger();
  EXPECT_TRUE(tableShown);
  EXPECT_EQ(job().boards[0].LayerGerber[1], bottom.toStdString());

  QString silk = qstr(demoFile("demo-silk.pho"));
  prompts_.files.push_back(silk);
  popupCommand(0, "Add gerber on  active layer");
  EXPECT_EQ(job().boards[0].LayerGerber[1], silk.toStdString());
  EXPECT_EQ(job().boards[0].DataWidth, width);  // the master file's size stays
}

TEST_F(WindowTest, SaveCloseOpenAndNewWithEveryAnswer) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  importMaster(demoFile("demo-bottom.gbr"));
  std::filesystem::path first = dir_ / "first.wpr";

  prompts_.files.push_back(qstr(first));
  trigger("&Job", "&Save");  // a new job has no name yet: Save as
  EXPECT_EQ(std::filesystem::file_size(first), 2 * kBoardRecordSize);
  EXPECT_EQ(window_->windowTitle(), qstr(first));

  prompts_.answers = {Answer::Cancel};
  trigger("&Job", "&Close");
  EXPECT_EQ(prompts_.questions.back(), "File not saved !\rSave it");
  EXPECT_EQ(job().boards.size(), 2u);

  prompts_.answers = {Answer::No};
  trigger("&Job", "&Close");
  EXPECT_TRUE(job().boards.empty());
  EXPECT_EQ(window_->view()->plotArea()->boardCount(), 0u);
  EXPECT_EQ(window_->windowTitle(), qstr(first));  // Close keeps the name
  EXPECT_EQ(window_->view()->layerPanel()->gerberCell(1)->text(), "");

  size_t questions = prompts_.questions.size();
  prompts_.files.push_back(qstr(first));
  trigger("&Job", "&Open");  // no boards: no question
  EXPECT_EQ(prompts_.questions.size(), questions);
  ASSERT_EQ(window_->view()->plotArea()->boardCount(), 2u);
  EXPECT_EQ(boardView(1).color, kGreen);  // opened boards are unselected

  // Open over boards: No, then Cancel in the chooser keeps the job.
  prompts_.answers = {Answer::No};
  prompts_.files.push_back(QString());
  trigger("&Job", "&Open");
  EXPECT_EQ(job().boards.size(), 2u);

  // New, Yes, then Cancel in the save chooser: the job stays.
  prompts_.answers = {Answer::Yes};
  prompts_.files.push_back(QString());
  trigger("&Job", "&New");
  EXPECT_EQ(job().boards.size(), 2u);

  std::filesystem::path second = dir_ / "second.wpr";
  prompts_.answers = {Answer::Yes};
  prompts_.files.push_back(qstr(second));
  trigger("&Job", "&New");
  EXPECT_TRUE(job().boards.empty());
  EXPECT_FALSE(job().BoardSelectedOnce);
  EXPECT_EQ(window_->windowTitle(), "NONAME.WPR");
  EXPECT_EQ(std::filesystem::file_size(second), 2 * kBoardRecordSize);

  trigger("&Job", "&New");  // no boards: nothing is asked
  EXPECT_TRUE(prompts_.answers.empty());
}

// The window holds no lock: it asks before a save overwrites what another
// program wrote meanwhile, or a cut-off last record; no job file is no job.
TEST_F(WindowTest, SaveAsksBeforeItOverwritesWhatTheJobDoesNotHold) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  const std::filesystem::path file = dir_ / "job.wpr";
  prompts_.files.push_back(qstr(file));
  trigger("&Job", "Save as...");
  const std::string saved = readFile(file);

  std::string other = saved;
  other[9072] ^= 1;  // Selected: another program wrote the file, and cut a record off
  writeFile(file, other + std::string(100, '\0'));
  prompts_.answers = {Answer::No};
  trigger("&Job", "&Save");
  ASSERT_EQ(prompts_.questions.size(), 1);
  EXPECT_EQ(prompts_.questions.back(), qstr(file) +
                                           "\rwas changed by another program since it "
                                           "was opened or saved here.\rOverwrite those changes?");
  prompts_.answers = {Answer::Yes, Answer::No};
  trigger("&Job", "&Save");
  EXPECT_TRUE(prompts_.questions.back().endsWith(
      "ends in a partial record of 100 bytes (a board cut off), which is left out.\rSave the job "
      "without it?"));
  EXPECT_EQ(readFile(file), other + std::string(100, '\0'));
  prompts_.answers = {Answer::Yes, Answer::Yes};
  trigger("&Job", "&Save");
  EXPECT_EQ(readFile(file), saved);
  size_t asked = prompts_.questions.size();
  trigger("&Job", "&Save");  // unchanged since: nothing to ask
  EXPECT_EQ(prompts_.questions.size(), asked);

  writeFile(file, saved + std::string(100, '\0'));
  prompts_.answers = {Answer::No};
  prompts_.files.push_back(qstr(file));
  trigger("&Job", "&Open");
  EXPECT_TRUE(prompts_.messages.back().endsWith(
      "partial record of 100 bytes (a board cut off), which is left out."));
  // Save as over a file that is no job file is refused.
  const std::string gerber = readFile(demoFile("demo-top.gbr"));
  writeFile(dir_ / "top.gbr", gerber);
  prompts_.files.push_back(qstr(dir_ / "top.gbr"));
  trigger("&Job", "Save as...");
  EXPECT_TRUE(prompts_.warnings.back().contains("top.gbr: not a job file"));
  EXPECT_EQ(readFile(dir_ / "top.gbr"), gerber);
}

TEST_F(WindowTest, ClosingTheWindowAsksAndCancelKeepsItOpen) {
  start();
  window_->close();  // no boards: closes at once
  EXPECT_FALSE(window_->isVisible());
  window_->show();

  importMaster(demoFile("demo-top.gbr"));
  prompts_.answers = {Answer::Cancel};
  trigger("&Job", "&Exit");
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(job().boards.size(), 1u);

  prompts_.answers = {Answer::No};
  EXPECT_TRUE(window_->close());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(job().boards.empty());
}

TEST_F(WindowTest, AJobFileThatCannotBeWrittenShowsTheErrorAndKeepsTheJob) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  QString unwritable = qstr(dir_ / "missing-folder" / "job.wpr");
  prompts_.files.push_back(unwritable);
  trigger("&Job", "Save as...");
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_TRUE(prompts_.warnings[0].contains("job.wpr"));
  EXPECT_EQ(job().boards.size(), 1u);
  EXPECT_EQ(job().JobName, "NONAME.WPR");
  EXPECT_EQ(window_->windowTitle(), "NONAME.WPR");

  // Closing with Yes and a failing save keeps the window and the job.
  prompts_.answers = {Answer::Yes};
  prompts_.files.push_back(unwritable);
  window_->close();
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(job().boards.size(), 1u);
  EXPECT_EQ(prompts_.warnings.size(), 2);
}

}  // namespace
}  // namespace drumplot::test
