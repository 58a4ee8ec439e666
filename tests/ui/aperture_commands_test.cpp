// SPDX-License-Identifier: MIT
// The aperture table (built from %ADD definitions and from an aperture
// file, edited and saved) and the aperture import, driven through the window.
#include <QAbstractItemModel>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>

#include "apertures/aperture_file.h"
#include "apertures/aperture_list_conversion.h"
#include "output_fixture.h"
#include "ui/aperture_import_dialog.h"
#include "ui/aperture_table_dialog.h"
#include "ui/frozen_column_table.h"
#include "ui/layer_panel_view.h"

namespace drumplot::test {
namespace {

using Column = ApertureTableDialog::Column;

QString cell(ApertureTableDialog& dialog, int dCode, int column) {
  QAbstractItemModel* model = dialog.table()->model();
  return model->data(model->index(dCode - 10, column)).toString();
}

// Types `text` into a cell as the user does: the first key opens the
// editor, Enter closes it.
void typeIntoCell(ApertureTableDialog& dialog, int dCode, int column, const QString& text) {
  FrozenColumnTable* table = dialog.table();
  table->setCurrentIndex(table->model()->index(dCode - 10, column));
  QTest::keyClicks(table, text.left(1));
  auto* editor = table->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr) << "no cell editor";
  QTest::keyClicks(editor, text.mid(1));
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the editor hands its value over once the key is done
}

std::string apertureFile(const std::string& lines) {
  return apertureFileHeader() + lines + apertureFileTrailer(ApertureFileWriter::Table);
}

TEST_F(OutputWindowTest, ApertureTableOfAddDefinitionsSavesOnlyTheEditedRows) {
  start();
  auto gerber = dir_ / "layer.gbr";
  writeFile(gerber,
            "%FSLAX24Y24*%%MOIN*%%ADD10C,0.0100*%%ADD11R,0.060X0.030*%%ADD12C,0.0100X0.0040*%"
            "%AMBOX*21,1,$1,$2,0,0,0*%%ADD13BOX,0.1X0.1*%D10*X1000Y1000D03*X2000Y2000D03*M02*");
  importMaster(gerber);
  std::filesystem::path saved = dir_ / "layer.Env";
  prompts_.answers.push_back(Answer::Yes);
  prompts_.files.push_back(qstr(saved));
  whenShown<ApertureTableDialog>([](ApertureTableDialog& dialog) {
    FrozenColumnTable* table = dialog.table();
    ASSERT_EQ(table->model()->rowCount(), 990);
    EXPECT_EQ(table->currentIndex(), table->model()->index(0, Column::DCodeColumn));

    EXPECT_EQ(cell(dialog, 10, Column::DCodeColumn), "10");
    EXPECT_EQ(cell(dialog, 10, Column::ShapeColumn), "Round");
    EXPECT_EQ(cell(dialog, 10, Column::XColumn), "10.00");
    EXPECT_EQ(cell(dialog, 11, Column::ShapeColumn), "Rectangle");
    EXPECT_EQ(cell(dialog, 11, Column::YColumn), "30.00");
    EXPECT_EQ(cell(dialog, 12, Column::AngleColumn), "4.00");
    EXPECT_EQ(cell(dialog, 12, Column::NameColumn), "C,0.0100X0.0040");
    EXPECT_EQ(cell(dialog, 13, Column::ShapeColumn), "Custom");
    EXPECT_EQ(cell(dialog, 13, Column::NameColumn), "BOX");
    EXPECT_EQ(cell(dialog, 999, Column::ShapeColumn), "None");

    // Enter moves on like Tab, without starting an edit.
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(table->currentIndex(), table->model()->index(0, Column::ShapeColumn));
    EXPECT_FALSE(dialog.result().edited(10));

    typeIntoCell(dialog, 11, Column::XColumn, "55");
    EXPECT_EQ(cell(dialog, 11, Column::XColumn), "55.00");
    EXPECT_TRUE(dialog.result().edited(11));
    EXPECT_FALSE(dialog.result().edited(12));

    // The frozen "D-code" column stays at the left edge when the table
    // scrolls sideways; its cells are edited there.
    table->setMinimumWidth(0);
    table->setFixedWidth(300);
    QApplication::processEvents();
    table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
    QModelIndex d14 = table->model()->index(14 - 10, Column::DCodeColumn);
    EXPECT_LT(table->visualRect(d14).left(), 0);  // scrolled away under the overlay
    EXPECT_EQ(table->frozenView()->visualRect(d14).left(), 0);
    EXPECT_TRUE(table->frozenView()->isVisible());
    typeIntoCell(dialog, 14, Column::DCodeColumn, "7");
    EXPECT_EQ(cell(dialog, 14, Column::DCodeColumn), "14");  // the D code stays
    EXPECT_TRUE(dialog.result().edited(14));                 // but the row is marked

    button(&dialog, "&Save")->click();
  });
  trigger("&Preference", "Aperture table");
  EXPECT_EQ(prompts_.questions, QStringList{"Save change into aperture file ?"});
  EXPECT_EQ(prompts_.requests.size(), 2u);  // the import, then the save chooser
  // Only the edited rows of %ADD apertures are written; row 14 is None.
  EXPECT_EQ(readFile(saved), apertureFile("11 2  0.05500 0.03000\r\n"));
  // The layer keeps its aperture entry (none).
  EXPECT_EQ(job().boards[0].LayerAperture[0], "");
}

TEST_F(OutputWindowTest, ApertureTableOfAnApertureFileSavesIntoThatFileOnlyWhenAsked) {
  start();
  auto gerber = dir_ / "rs274d.pho";
  writeFile(gerber, "G90*D10*X1000Y1000D03*D11*X3000Y2000D03*M02*");
  auto env = dir_ / "rs274d.Env";
  const std::string original =
      apertureFile("10 0  0.02000 0.02000\r\n11 5  0.08000 0.04000 0.03000\r\n");
  writeFile(env, original);
  Job job;
  job.boards.push_back(boardFor(gerber, 0.5, 0.5));
  job.boards[0].LayerAperture[0] = env.string();
  openJobFile(job);
  mouseOnBoard(0, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton, Qt::LeftButton);
  mouseOnBoard(0, QEvent::MouseButtonRelease, {2, 2}, Qt::LeftButton, Qt::NoButton);

  // "&Save" answered No: nothing is written.
  prompts_.answers.push_back(Answer::No);
  whenShown<ApertureTableDialog>([](ApertureTableDialog& dialog) {
    EXPECT_EQ(dialog.title()->text(), "Board 1 rs274d.pho, layer 1 Lay_1");
    EXPECT_EQ(cell(dialog, 11, Column::ShapeColumn), "Thermal");
    EXPECT_EQ(cell(dialog, 11, Column::YColumn), "30.00");
    typeIntoCell(dialog, 10, Column::XColumn, "25");
    button(&dialog, "&Save")->click();
  });
  toolAction(*window_, "View & modify aperture table(active board and active layers}")->trigger();
  EXPECT_EQ(readFile(env), original);

  // Yes: the table goes into the layer's own file, without a chooser.
  prompts_.answers.push_back(Answer::Yes);
  whenShown<ApertureTableDialog>([](ApertureTableDialog& dialog) {
    EXPECT_EQ(cell(dialog, 10, Column::XColumn), "20.00");  // read anew
    FrozenColumnTable* table = dialog.table();
    table->setCurrentIndex(table->model()->index(10 - 10, Column::ShapeColumn));
    static_cast<QAbstractItemView*>(table)->edit(table->currentIndex());
    auto* shapes = table->findChild<QComboBox*>();
    ASSERT_NE(shapes, nullptr);
    EXPECT_EQ(shapes->count(), 9);
    shapes->setCurrentIndex(2);            // Square
    QTest::keyClick(shapes, Qt::Key_Tab);  // on to the next cell
    EXPECT_EQ(cell(dialog, 10, Column::ShapeColumn), "Square");
    button(&dialog, "&Save")->click();
  });
  trigger("&Preference", "Aperture table");
  EXPECT_TRUE(prompts_.requests.size() == 1u);  // only the job's Open
  EXPECT_EQ(readFile(env), apertureFile("10 1  0.02000 0.02000\r\n11 5  0.08000 0.03000\r\n"));
}

// Chooses the entry and the file in the "Import aperture" dialog and
// presses OK.
void importThroughTheDialog(ApertureImportDialog& dialog, int type,
                            const std::filesystem::path& file) {
  dialog.typeBox()->setCurrentIndex(type);
  dialog.setFolder(QString::fromStdString(file.parent_path().string()));
  QListView* files = dialog.fileList();
  QModelIndex found;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        auto* model = static_cast<QFileSystemModel*>(files->model());
        found = model->index(QString::fromStdString(file.string()));
        return found.isValid() && files->model()->rowCount(files->rootIndex()) > 0;
      },
      5000));
  files->selectionModel()->select(found, QItemSelectionModel::ClearAndSelect);
  button(&dialog, "OK")->click();
}

TEST_F(OutputWindowTest, IsoCamListIsConvertedAndAttachedToTheActiveLayer) {
  start();
  importMaster(demoFile("demo-top.gbr"));
  window_->view()->layerPanel()->layerCombo()->setCurrentIndex(2);  // layer 3
  auto list = dir_ / "board.apl";
  writeFile(list, "D12 RECTANGLE 0.060 0.030\nD13 ROUND 0.020 0.000\nD5 ROUND 0.01 0.01\n");

  whenShown<ApertureImportDialog>([&](ApertureImportDialog& dialog) {
    EXPECT_FALSE(dialog.converterBox()->isVisible());
    dialog.typeBox()->setCurrentIndex(5);
    EXPECT_TRUE(dialog.converterBox()->isChecked());
    importThroughTheDialog(dialog, 1, list);
    EXPECT_FALSE(dialog.converterBox()->isChecked());
  });
  trigger("&Job", "Import apertures (active layer)");

  std::string converted = list.string() + ".Env";
  EXPECT_EQ(job().boards[0].LayerAperture[2], converted);
  EXPECT_EQ(job().boards[0].LayerAperture[0], "");
  EXPECT_EQ(window_->view()->layerPanel()->apertureCell(3)->text(),
            QString::fromStdString(converted));
  ApertureListConversion expected =
      convertApertureList(readFile(list), ApertureListType::IsoCam, list.string());
  EXPECT_EQ(expected.apertureLines, 2u);
  EXPECT_EQ(readFile(converted), expected.text);
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join("; ").toStdString();

  // An aperture file is attached as it is, from the pop-up item as well.
  auto env = dir_ / "ready.env";
  writeFile(env, apertureFile("10 0  0.02000 0.02000\r\n"));
  whenShown<ApertureImportDialog>([&](ApertureImportDialog& dialog) {
    EXPECT_FALSE(dialog.converterBox()->isChecked());  // each showing clears it
    importThroughTheDialog(dialog, 0, env);
  });
  popupCommand(0, "Add aperture on  active layer");
  EXPECT_EQ(job().boards[0].LayerAperture[2], env.string());

  // The converter is not beside the program: said so, nothing attached.
  whenShown<ApertureImportDialog>(
      [&](ApertureImportDialog& dialog) { importThroughTheDialog(dialog, 5, list); });
  toolAction(*window_, "Import apertures (active layer)")->trigger();
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_TRUE(prompts_.warnings[0].contains("aptConv")) << prompts_.warnings[0].toStdString();
  EXPECT_EQ(job().boards[0].LayerAperture[2], env.string());

  // Cancel changes nothing.
  whenShown<ApertureImportDialog>(
      [](ApertureImportDialog& dialog) { button(&dialog, "Cancel")->click(); });
  trigger("&Job", "Import apertures (active layer)");
  EXPECT_EQ(job().boards[0].LayerAperture[2], env.string());
}

}  // namespace
}  // namespace drumplot::test
