// SPDX-License-Identifier: MIT
// A main window on a 1280 x 1024 screen with its own settings file and
// scripted prompts, and the steps the window tests share.
#pragma once

#include <gtest/gtest.h>

#include <QMenu>
#include <filesystem>
#include <memory>
#include <string>

#include "job/job.h"
#include "support/test_support.h"
#include "ui/coordinates_dialog.h"
#include "ui/job_status_bar.h"
#include "ui/job_view.h"
#include "ui/main_window.h"
#include "ui/plot_area_panel.h"
#include "ui_test_support.h"

namespace drumplot::test {

class WindowTest : public testing::Test {
 protected:
  // Starts the window; an empty `settingsText` means no settings file.
  void start(const std::string& settingsText = "[Setup]\nJednotka=mm\n") {
    dir_ = tempDir();
    settings_ = dir_ / "GerbPrj.ini";
    if (!settingsText.empty()) writeFile(settings_, settingsText);
    MainWindowOptions options{settings_, &prompts_, QSize(1280, 1024)};
    configure(options);
    window_ = std::make_unique<MainWindow>(options);
    window_->show();
    QApplication::processEvents();
  }

  virtual void configure(MainWindowOptions&) {}

  void TearDown() override {
    EXPECT_TRUE(prompts_.answers.empty()) << "unused answers";
    EXPECT_TRUE(prompts_.files.empty()) << "unused file names";
  }

  const Job& job() const { return window_->job(); }
  const BoardView& boardView(size_t index) const {
    return window_->view()->plotArea()->board(index);
  }
  // A mouse event on the plotting area at `position` within a board.
  void mouseOnBoard(size_t index, QEvent::Type type, QPoint position, Qt::MouseButton button,
                    Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    sendMouse(window_->view()->plotArea(), type, boardView(index).rect.topLeft() + position, button,
              buttons, modifiers);
  }
  QString status(JobStatusBar::Panel panel) const {
    return window_->statusPanels()->panelText(panel);
  }
  void trigger(const QString& menu, const QString& item) {
    menuAction(*window_, menu, item)->trigger();
  }

  // Import Master Gerber through the Job menu.
  void importMaster(const std::filesystem::path& file) {
    prompts_.files.push_back(QString::fromStdString(file.string()));
    trigger(QStringLiteral("&Job"), QStringLiteral("Import Master Gerber (insert new board)"));
  }

  // A right click on a board opens its pop-up; the item then runs.
  void popupCommand(size_t index, const QString& item) {
    mouseOnBoard(index, QEvent::MouseButtonPress, {2, 2}, Qt::RightButton, Qt::RightButton);
    mouseOnBoard(index, QEvent::MouseButtonRelease, {2, 2}, Qt::RightButton, Qt::NoButton);
    EXPECT_TRUE(window_->boardMenu()->isVisible());
    window_->boardMenu()->close();
    popupAction(*window_, item)->trigger();
  }

  // Move to through the pop-up, values typed in the display unit.
  void moveTo(size_t index, const QString& x, const QString& y) {
    whenShown<CoordinatesDialog>([x, y](CoordinatesDialog& dialog) {
      typeInto(dialog.findChild<QWidget*>(QStringLiteral("X")), x);
      typeInto(dialog.findChild<QWidget*>(QStringLiteral("- Y")), y);
      button(&dialog, QStringLiteral("&Ok"))->click();
    });
    popupCommand(index, QStringLiteral("Move to"));
  }

  ScriptedPrompts prompts_;
  std::filesystem::path dir_;
  std::filesystem::path settings_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace drumplot::test
