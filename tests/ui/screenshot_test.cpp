// SPDX-License-Identifier: MIT
// The screenshot of the main window that scripts/screenshot.sh takes under
// Xvfb: a panelized job opened, its first board selected. Without the
// script's environment the test is skipped.
#include <QPixmap>
#include <QScreen>
#include <QtTest/QTest>
#include <cstdlib>

#include "job/settings_file.h"
#include "ui/job_view.h"
#include "ui/main_window.h"
#include "ui/plot_area_panel.h"
#include "ui_test_support.h"

namespace drumplot::test {
namespace {

TEST(ScreenshotTest, MainWindowWithAPanelizedJob) {
  const char* image = std::getenv("DRUMPLOT_SCREENSHOT");
  const char* jobFile = std::getenv("DRUMPLOT_SCREENSHOT_JOB");
  if (!image || !jobFile) GTEST_SKIP() << "run by scripts/screenshot.sh";

  ScriptedPrompts prompts;
  MainWindow window({settingsFilePath(), &prompts, {}});
  window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
  window.showMaximized();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  prompts.files = {QString::fromLocal8Bit(jobFile)};
  menuAction(window, "&Job", "&Open")->trigger();
  PlotAreaPanel* area = window.view()->plotArea();
  ASSERT_GT(area->boardCount(), 0u);
  QPoint first = area->board(0).Rect.topLeft() + QPoint(3, 3);
  sendMouse(area, QEvent::MouseButtonPress, first, Qt::LeftButton, Qt::LeftButton);
  sendMouse(area, QEvent::MouseButtonRelease, first, Qt::LeftButton, Qt::NoButton);
  sendMouse(area, QEvent::MouseMove, {area->width() / 2, area->height() / 2}, Qt::NoButton,
            Qt::NoButton);
  QTest::qWait(500);

  QPixmap shot = window.screen()->grabWindow(0);
  if (shot.isNull()) shot = window.grab();
  EXPECT_TRUE(shot.save(QString::fromLocal8Bit(image), "PNG"));
  EXPECT_TRUE(prompts.warnings.isEmpty()) << prompts.warnings.join("; ").toStdString();
}

}  // namespace
}  // namespace drumplot::test
