// SPDX-License-Identifier: MIT
// The main window driven through its menus, pop-up and mouse: start-up,
// import, drags, moves, panelizing, deleting, marks and the job file flows.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>

#include "job/display_text.h"
#include "job/gerber_import.h"
#include "job/job_file.h"
#include "job/settings_file.h"
#include "ui/aperture_table_dialog.h"
#include "ui/layer_panel_view.h"
#include "ui/panelize_dialog.h"
#include "ui/ruler.h"
#include "ui/select_mark_dialog.h"
#include "ui/unit_dialog.h"
#include "window_fixture.h"

namespace drumplot::test {
namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

// Start-up
// ============================================================================

TEST_F(WindowTest, FirstStartWithoutSettingsUsesDefaultsAndLaysOutTheScreen) {
  start("");
  EXPECT_EQ(window_->windowTitle(), "NONAME.WPR");
  EXPECT_EQ(readSettings(settings_).UnitText, "Inch");  // the unit key was written
  EXPECT_EQ(status(JobStatusBar::UnitPanel), "Inch");
  EXPECT_EQ(status(JobStatusBar::FormatPanel), "F: RS274 X,D 2:3,Abs Inch Leading");
  EXPECT_EQ(status(JobStatusBar::ProgressPanel), "");
  EXPECT_TRUE(prompts_.messages.isEmpty());  // 64 MB: no warning

  // 1280 x 1024: ScreenScale = 824 / 14.567 pixels per inch, the panel 757 x 824.
  EXPECT_NEAR(job().ScreenScale, 56.567, 0.001);
  PlotAreaPanel* area = window_->view()->plotArea();
  EXPECT_EQ(area->size(), QSize(757, 824));
  EXPECT_EQ(area->caption(), "Plotting area (13.39Inch x 14.57Inch)");
  EXPECT_EQ(area->color(), QColor(0x80, 0x80, 0x80));

  // The rulers border the panel and count inches.
  Ruler* top = window_->view()->topRuler();
  Ruler* left = window_->view()->leftRuler();
  EXPECT_EQ(top->geometry().bottom() + 1, area->geometry().top());
  EXPECT_EQ(left->geometry().right() + 1, area->geometry().left());
  EXPECT_EQ(top->width(), area->width() + 24);
  EXPECT_EQ(left->height(), area->height() + 16);
  EXPECT_EQ(top->caption(), "Inch");
  EXPECT_DOUBLE_EQ(top->unitsPerPixel(), 1.0 / job().ScreenScale);

  // The layer panel: 18 rows, the combo box on layer 1, at the right edge.
  LayerPanelView* layers = window_->view()->layerPanel();
  ASSERT_EQ(layers->layerCombo()->count(), 18);
  EXPECT_EQ(layers->layerCombo()->currentIndex(), 0);
  EXPECT_EQ(layers->nameLabel(18)->text(), "Lay_18");
  EXPECT_EQ(layers->gerberCell(1)->x() + layers->x(), window_->view()->widget()->width() - 200);
  EXPECT_GT(layers->x(), area->geometry().right());
  EXPECT_EQ(toolAction(*window_,
                       "Import master Gerber(insert new board)\nCurrent format :"
                       "F: RS274 X,D 2:3,Abs Inch Leading")
                ->text(),
            "Import");
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

// Menus, shortcuts and hints
// ============================================================================

struct MenuItem {
  const char* menu;
  const char* item;
  const char* shortcut;
};

TEST_F(WindowTest, EveryMenuItemWithItsShortcut) {
  start();
  // clang-format off
  const MenuItem items[] = {
      {"&Job", "&New", "Ctrl+N"},  {"&Job", "&Open", "F3"},  {"&Job", "&Save", "F2"},
      {"&Job", "Save as...", ""},  {"&Job", "&Close", ""},   {"&Job", "&Print", ""},
      {"&Job", "E&xport photoplotter bitmap", "F4"},         {"&Job", "250 dpi bitmap (CLIP.BMP)", ""},
      {"&Job", "Preview", "F6"},
      {"&Job", "Import Master Gerber (insert new board)", "Ctrl+I"},
      {"&Job", "Import associated Gerber's (active layer)", ""},
      {"&Job", "Import apertures (active layer)", ""},       {"&Job", "&Exit", "Alt+X"},
      {"&Edit", "&Insert mark", ""},  {"&Edit", "Delete board", "Ctrl+Del"},
      {"&Edit", "Lock all boards", ""},  {"&Edit", "Unlock all boards", ""},
      {"&Edit", "Relative move of locked boards ", ""},
      {"&Tools", "&Panelize board", ""},  {"&Tools", "Panelize drill", ""},
      {"&Tools", "View text file", ""},
      {"&Preference", "Memory settings", ""},  {"&Preference", "&Plotting area size", ""},
      {"&Preference", "Data format", "F9"},    {"&Preference", "Aperture table", "F8"},
      {"&Preference", "&Units", ""},  {"&Preference", "&Mark", ""},  {"&Preference", "&Colors", ""},
      {"&Preference", "&Tech area", ""},
      {"&Info", "&About", ""},
  };
  // clang-format on
  for (const MenuItem& m : items) {
    QAction* action = menuAction(*window_, m.menu, m.item);
    ASSERT_NE(action, nullptr) << m.item;
    EXPECT_EQ(action->shortcut().toString(), m.shortcut) << m.item;
    EXPECT_TRUE(action->isVisible()) << m.item;
  }
  EXPECT_FALSE(menuAction(*window_, "&Tools", "Convert aperture")->isVisible());

  QStringList popup;
  for (QAction* action : window_->boardMenu()->actions()) {
    popup << action->text() + (action->isVisible() ? "" : " (hidden)");
  }
  EXPECT_EQ(popup, (QStringList{"Set active (hidden)", "Move to", "Lock", "Unlock",
                                "Add gerber on  active layer", "Add aperture on  active layer",
                                "Negative this board (hidden)"}));
  for (const char* hint :
       {"Panelize selected board", "Delete selected board", "Preview",
        "Export Gerber into bitmap file ", "Print preview",
        "View & modify aperture table(active board and active layers}",
        "Import apertures (active layer)", "Import associated Gerber's (active layer)"}) {
    EXPECT_NE(toolAction(*window_, hint), nullptr) << hint;
  }
  // "Apt" waits for a board to have been selected.
  EXPECT_FALSE(toolAction(*window_, "Import apertures (active layer)")->isEnabled());
}

// Import, drag and move
// ============================================================================

TEST_F(WindowTest, ImportsACorpusFileAsASelectedMasterBoard) {
  std::filesystem::path file;
  for (const CorpusEntry& entry : corpusEntries()) {
    if (entry.localPath == "gerbonara/tests/resources/Target3001/IRNASIoTbank1.2.Outline") {
      file = corpusDir() / entry.localPath;
    }
  }
  if (file.empty() || !std::filesystem::exists(file)) GTEST_SKIP() << "corpus absent";
  start();
  importMaster(file);
  ASSERT_EQ(prompts_.requests.size(), 1u);
  const FileRequest& request = prompts_.requests[0];
  EXPECT_EQ(request.Title, "Import Gerber data");
  EXPECT_EQ(request.Filters,
            (QStringList{"Gerber data  (*.dat)|*.dat", "Gerber data (*.gbr;*.pho)|*.gbr;*.pho",
                         "Excellon data (*.exc)|*.exc", "All extension (*.*)|*.*"}));
  EXPECT_EQ(request.SelectedFilter, 1);

  ASSERT_EQ(job().boards.size(), 1u);
  const Board& board = job().boards[0];
  MasterMeasurement measured = measureMasterGerber(file, BoardFormat{});
  EXPECT_EQ(board.DataWidth, measured.Extents.Width);
  EXPECT_EQ(board.DataHeight, measured.Extents.Height);
  EXPECT_GT(board.DataWidth, 2.0);  // a board of about 3 x 3.3 inches
  EXPECT_LT(board.DataWidth, 4.0);
  EXPECT_EQ(board.PosX, job().settings.PlotWidth);

  const BoardView& view = boardView(0);
  EXPECT_EQ(view.Rect, QRect(757 - 30, 1, toScreen_px(board.DataWidth, job().ScreenScale),
                             toScreen_px(board.DataHeight, job().ScreenScale)));
  EXPECT_EQ(view.Color, kRed);
  EXPECT_EQ(view.Caption, qstr(file));
  LayerPanelView* layers = window_->view()->layerPanel();
  EXPECT_EQ(layers->gerberCell(1)->text(), qstr(file));
  EXPECT_EQ(layers->gerberCell(1)->toolTip(), qstr(file));
  EXPECT_EQ(layers->gerberCell(2)->text(), "");
  EXPECT_TRUE(toolAction(*window_, "Import apertures (active layer)")->isEnabled());
}

TEST_F(WindowTest, ImportGoesToTheActiveLayerAndTinyBoardsShowFivePixels) {
  start();
  window_->view()->layerPanel()->layerCombo()->setCurrentIndex(2);  // layer 3
  std::filesystem::path tiny = dir_ / "tiny.gbr";
  writeFile(tiny, "%FSLAX24Y24*%%MOIN*%%ADD10C,0.01*%D10*X0Y0D02*X0100Y0100D01*M02*");
  importMaster(tiny);
  ASSERT_EQ(job().boards.size(), 1u);
  const Board& board = job().boards[0];
  EXPECT_EQ(board.LayerGerber[2], tiny.string());
  EXPECT_EQ(board.LayerGerber[0], "");
  EXPECT_EQ(board.Caption, tiny.string());
  EXPECT_EQ(boardView(0).Rect.size(), QSize(5, 5));  // 0.01 inch is less than one pixel
  EXPECT_EQ(window_->view()->layerPanel()->gerberCell(3)->text(), qstr(tiny));
}

TEST_F(WindowTest, LeftDragMovesAnUnlockedBoardOnly) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  QPoint before = boardView(0).Rect.topLeft();
  mouseOnBoard(0, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseMove, {15, 12}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(boardView(0).Rect.topLeft(), before + QPoint(10, 7));
  EXPECT_DOUBLE_EQ(job().boards[0].PosX, (before.x() + 10) / job().ScreenScale);
  EXPECT_DOUBLE_EQ(job().boards[0].PosY, (before.y() + 7) / job().ScreenScale);
  // The board keeps the mouse while the button is down, even past its edge.
  mouseOnBoard(0, QEvent::MouseMove, {-25, 5}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(boardView(0).Rect.topLeft(), before + QPoint(-20, 7));

  // Shift, or a second button held, moves nothing and says nothing.
  QPoint moved = boardView(0).Rect.topLeft();
  mouseOnBoard(0, QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  mouseOnBoard(0, QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
  mouseOnBoard(0, QEvent::MouseButtonRelease, {30, 30}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(boardView(0).Rect.topLeft(), moved);
  EXPECT_TRUE(prompts_.messages.isEmpty());

  // Locked through the pop-up: every move event says so, nothing moves.
  popupCommand(0, "Lock");
  EXPECT_TRUE(job().boards[0].Locked);
  mouseOnBoard(0, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseMove, {9, 9}, Qt::NoButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseMove, {12, 12}, Qt::NoButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseButtonRelease, {12, 12}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(prompts_.messages, QStringList(2, "This board is locked"));
  EXPECT_EQ(boardView(0).Rect.topLeft(), moved);

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
  EXPECT_EQ(boardView(0).Rect.topLeft(), QPoint(toScreen_px(1.0, scale), toScreen_px(2.0, scale)));
  EXPECT_TRUE(prompts_.messages.isEmpty());

  whenShown<UnitDialog>([](UnitDialog& dialog) {
    EXPECT_TRUE(dialog.findChild<QRadioButton*>()->isChecked());  // "mm", from the file
    clickRadio(&dialog, "inch");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Preference", "&Units");
  ASSERT_EQ(job().settings.UnitText, "Inch");

  whenShown<CoordinatesDialog>([](CoordinatesDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("X")->text(), "1.0");  // prefilled in inches
    EXPECT_EQ(dialog.findChild<QLineEdit*>("- Y")->text(), "2.0");
    QStringList units;
    for (QLabel* label : dialog.findChildren<QLabel*>()) units << label->text();
    EXPECT_TRUE(units.contains("inch"));
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
  EXPECT_EQ(status(JobStatusBar::MousePanel),
            QString::fromStdString(mousePositionText(100, 0, job().ScreenScale, job().settings)));
  EXPECT_EQ(status(JobStatusBar::MousePanel), "45 : 0");  // 100 / 56.57 inch = 44.9 mm
  importMaster(demoFile("demo-top.gbr"));
  mouseOnBoard(0, QEvent::MouseMove, {1, 1}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(status(JobStatusBar::MousePanel), "45 : 0");  // over a board: unchanged
}

// Panelize, relative move, delete
// ============================================================================

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
  const Board& source = job().boards[0];
  double pitchX = source.DataWidth + 5.0 / 25.4;
  double pitchY = source.DataHeight + 5.0 / 25.4;
  const double expected[3][2] = {
      {0.5, 0.5 + pitchY}, {0.5 + pitchX, 0.5}, {0.5 + pitchX, 0.5 + pitchY}};
  for (size_t i = 1; i < 4; ++i) {
    const Board& copy = job().boards[i];
    EXPECT_NEAR(copy.PosX, expected[i - 1][0], 1e-12) << i;
    EXPECT_NEAR(copy.PosY, expected[i - 1][1], 1e-12) << i;
    EXPECT_TRUE(copy.Locked);
    EXPECT_FALSE(copy.Selected);
    EXPECT_EQ(boardView(i).Color, kGreen);
    EXPECT_EQ(boardView(i).Rect.size(), boardView(0).Rect.size());
  }
  EXPECT_EQ(boardView(0).Color, kRed);

  // Relative move: the copies are locked, the source is not.
  whenShown<CoordinatesDialog>([](CoordinatesDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Relative move of locked boards");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("dX")->text(), "0.0");
    typeInto(dialog.findChild<QWidget*>("dX"), "25.4");
    button(&dialog, "&Ok")->click();
  });
  trigger("&Edit", "Relative move of locked boards ");
  EXPECT_DOUBLE_EQ(job().boards[0].PosX, 0.5);
  EXPECT_NEAR(job().boards[1].PosX, 1.5, 1e-12);

  trigger("&Edit", "Delete board");
  ASSERT_EQ(job().boards.size(), 3u);
  EXPECT_TRUE(job().boards[2].Selected);
  EXPECT_EQ(boardView(2).Color, kRed);
  EXPECT_EQ(boardView(0).Color, kGreen);
  EXPECT_EQ(window_->view()->plotArea()->boardCount(), 3u);
}

// Marks and further layers
// ============================================================================

TEST_F(WindowTest, InsertMarkFromTheMarkTable) {
  std::filesystem::path mark = tempDir() / "mark.gbr";
  writeFile(mark, readFile(demoFile("demo-mark.gbr")));
  start("[Setup]\nJednotka=mm\nNameM1=Target\nPathM1=" + mark.string() + "\nNameM2=Cross\n");

  whenShown<SelectMarkDialog>([](SelectMarkDialog& dialog) {
    auto* list = dialog.findChild<QListWidget*>();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Target");
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
  const Board& board = job().boards[0];
  EXPECT_TRUE(board.IsMark);
  EXPECT_EQ(board.MarkName, "Target");
  LayerPanelView* layers = window_->view()->layerPanel();
  for (int layer = 1; layer <= 18; ++layer) {
    EXPECT_EQ(board.LayerGerber[layer - 1], mark.string());
    EXPECT_EQ(layers->gerberCell(layer)->text(), qstr(mark));
  }
  EXPECT_EQ(boardView(0).Color, kRed);
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
  trigger("&Job", "Import associated Gerber's (active layer)");  // never selected: nothing
  importMaster(demoFile("demo-top.gbr"));
  const Board imported = job().boards[0];
  window_->view()->layerPanel()->layerCombo()->setCurrentIndex(1);  // layer 2
  QString bottom = qstr(demoFile("demo-bottom.gbr"));
  prompts_.files.push_back(bottom);
  trigger("&Job", "Import associated Gerber's (active layer)");
  EXPECT_EQ(job().boards[0].LayerGerber[1], bottom.toStdString());
  EXPECT_EQ(window_->view()->layerPanel()->gerberCell(2)->text(), bottom);

  // Cancel names nothing: the layer keeps its file. ("Gbr" shows the
  // aperture table first.)
  prompts_.files.push_back(QString());
  whenShown<ApertureTableDialog>(
      [](ApertureTableDialog& dialog) { button(&dialog, "&Cancel")->click(); });
  toolAction(*window_, "Import associated Gerber's (active layer)")->trigger();
  EXPECT_EQ(job().boards[0].LayerGerber[1], bottom.toStdString());

  QString silk = qstr(demoFile("demo-silk.pho"));
  prompts_.files.push_back(silk);
  popupCommand(0, "Add gerber on  active layer");
  EXPECT_EQ(job().boards[0].LayerGerber[1], silk.toStdString());
  // The board's size, origin and format stay those of its master file.
  EXPECT_EQ(job().boards[0].DataWidth, imported.DataWidth);
  EXPECT_EQ(job().boards[0].DataMinX, imported.DataMinX);
  EXPECT_EQ(job().boards[0].LayerGerber[0], imported.LayerGerber[0]);
}

// Job file flows
// ============================================================================

TEST_F(WindowTest, SaveCloseOpenAndNewWithEveryAnswer) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  importMaster(demoFile("demo-bottom.gbr"));
  std::filesystem::path first = dir_ / "first.wpr";

  prompts_.files.push_back(qstr(first));
  trigger("&Job", "&Save");  // a new job has no name yet: Save as
  EXPECT_EQ(prompts_.requests.back().Filters, QStringList{"Project file (*.WPR)|*.WPR"});
  EXPECT_EQ(prompts_.requests.back().DefaultSuffix, "WPR");
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
  EXPECT_EQ(prompts_.requests.back().Title, "Open project");
  ASSERT_EQ(job().boards.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(job().boards[i].Locked);
    EXPECT_EQ(boardView(i).Color, kGreen);
  }
  EXPECT_TRUE(job().BoardSelectedOnce);

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
