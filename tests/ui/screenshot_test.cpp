// SPDX-License-Identifier: MIT
// The screenshots that scripts/screenshot.sh takes under Xvfb on the
// panelized demo job: the main window with its first board selected, the
// output dialog, the aperture table and the preview. Without the script's
// environment the tests are skipped.
#include <QPixmap>
#include <QScreen>
#include <QtTest/QTest>
#include <cstdlib>
#include <filesystem>

#include "job/settings_file.h"
#include "ui/aperture_table_dialog.h"
#include "ui/export_dialog.h"
#include "ui/job_view.h"
#include "ui/main_window.h"
#include "ui/plot_area_panel.h"
#include "ui/preview_window.h"
#include "ui_test_support.h"

namespace drumplot::test {
namespace {

// The screen once the widget has settled; the widget alone when the
// screen cannot be grabbed.
void saveShot(QWidget& widget, const std::filesystem::path& file) {
  QTest::qWait(400);
  QPixmap shot = widget.screen()->grabWindow(0);
  if (shot.isNull()) shot = widget.grab();
  EXPECT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG")) << file;
}

// The window filling the screen, the job opened and its first board selected.
void openAndSelect(MainWindow& window, ScriptedPrompts& prompts, const char* jobFile) {
  window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
  window.showMaximized();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  prompts.files = {QString::fromLocal8Bit(jobFile)};
  menuAction(window, "&Job", "&Open")->trigger();
  PlotAreaPanel* area = window.view()->plotArea();
  ASSERT_GT(area->boardCount(), 0u);
  QPoint first = area->board(0).rect.topLeft() + QPoint(3, 3);
  sendMouse(area, QEvent::MouseButtonPress, first, Qt::LeftButton, Qt::LeftButton);
  sendMouse(area, QEvent::MouseButtonRelease, first, Qt::LeftButton, Qt::NoButton);
}

TEST(ScreenshotTest, MainWindowWithAPanelizedJob) {
  const char* image = std::getenv("DRUMPLOT_SCREENSHOT");
  const char* jobFile = std::getenv("DRUMPLOT_SCREENSHOT_JOB");
  if (!image || !jobFile) GTEST_SKIP() << "run by scripts/screenshot.sh";
  ScriptedPrompts prompts;
  MainWindow window({settingsFilePath(), &prompts, {}});
  openAndSelect(window, prompts, jobFile);
  PlotAreaPanel* area = window.view()->plotArea();
  sendMouse(area, QEvent::MouseMove, {area->width() / 2, area->height() / 2}, Qt::NoButton,
            Qt::NoButton);
  saveShot(window, image);
  EXPECT_TRUE(prompts.warnings.isEmpty()) << prompts.warnings.join("; ").toStdString();
}

TEST(OutputScreenshotTest, ExportDialogApertureTableAndPreview) {
  const char* folder = std::getenv("DRUMPLOT_SCREENSHOT_DIR");
  const char* jobFile = std::getenv("DRUMPLOT_SCREENSHOT_JOB");
  if (!folder || !jobFile) GTEST_SKIP() << "run by scripts/screenshot.sh";
  const std::filesystem::path out(folder);
  ScriptedPrompts prompts;
  MainWindow window({settingsFilePath(), &prompts, {}});
  openAndSelect(window, prompts, jobFile);

  // The export dialog with the demo's three layers chosen.
  whenShown<ExportDialog>([&](ExportDialog& dialog) {
    for (int layer : {1, 2, 3}) dialog.layerBox(layer)->setChecked(true);
    saveShot(dialog, out / "export-dialog.png");
    button(&dialog, "Cancel")->click();
  });
  menuAction(window, "&Job", "E&xport photoplotter bitmap")->trigger();

  // The aperture table of the first board's top layer.
  whenShown<ApertureTableDialog>([&](ApertureTableDialog& dialog) {
    saveShot(dialog, out / "aperture-table.png");
    button(&dialog, "&Cancel")->click();
  });
  menuAction(window, "&Preference", "Aperture table")->trigger();

  // The preview of the three layers in their colours, mirrored (as drawn).
  whenShown<ExportDialog>([&](ExportDialog& dialog) {
    checkBox(&dialog, "Mirror horizontal")->setChecked(true);
    whenShown<PreviewWindow>([&](PreviewWindow& preview) {
      saveShot(preview, out / "preview.png");
      exitByMenu(&preview);
    });
    button(&dialog, "OK")->click();
  });
  menuAction(window, "&Job", "Preview")->trigger();
  EXPECT_TRUE(prompts.warnings.isEmpty()) << prompts.warnings.join("; ").toStdString();
}

}  // namespace
}  // namespace drumplot::test
