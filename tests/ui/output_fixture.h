// SPDX-License-Identifier: MIT
// A main window whose program folder is the test's folder and whose printer
// writes a PDF file there, with the steps the output, aperture and drill
// command tests share: opening a job written by the test and running
// drumplot-cli on the same job for comparison.
#pragma once

#include <QPrinter>
#include <QProcess>
#include <QtTest/QTest>
#include <filesystem>
#include <string>

#include "job/job_file.h"
#include "output/export_test_support.h"
#include "ui/preview_window.h"
#include "window_fixture.h"

namespace drumplot::test {

class OutputWindowTest : public WindowTest {
 protected:
  // The program folder is the test's; the printer writes print.pdf there.
  void configure(MainWindowOptions& options) override {
    pdf_ = dir_ / "print.pdf";
    options.programFolder = dir_;
    options.choosePrinter = [this](QWidget*, QPrinter& printer) {
      ++printDialogs_;
      if (!printerAccepts_) return false;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf_.string()));
      return true;
    };
  }

  // Saves `job` into the test's folder and opens it through Job > Open.
  std::filesystem::path openJobFile(Job job, const char* name = "job.wpr") {
    std::filesystem::path file = dir_ / name;
    saveJobAs(job, file);
    prompts_.files.push_back(qstr(file));
    trigger("&Job", "&Open");
    EXPECT_EQ(window_->job().boards.size(), job.boards.size());
    return file;
  }

  // Runs drumplot-cli with `arguments`; its output when it fails.
  static void runCli(const QStringList& arguments) {
    QProcess cli;
    cli.start(QStringLiteral(DRUMPLOT_BINARY_DIR "/cli/drumplot-cli"), arguments);
    ASSERT_TRUE(cli.waitForFinished(120000)) << "drumplot-cli did not finish";
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  }

  std::filesystem::path pdf_;
  bool printerAccepts_ = true;
  int printDialogs_ = 0;
};

// Closes the next preview once it is shown, keeping its picture in `shown`.
inline void closePreviewWhenShown(QImage* shown = nullptr) {
  whenShown<PreviewWindow>([shown](PreviewWindow& preview) {
    if (shown) *shown = preview.shownImage();
    exitByMenu(&preview);
  });
}

// The child of `parent` of the class T; findChild() cannot tell apart
// classes that declare no Q_OBJECT of their own.
template <typename T>
T* childOf(QObject* parent) {
  for (QObject* child : parent->findChildren<QObject*>()) {
    if (auto* found = dynamic_cast<T*>(child)) return found;
  }
  ADD_FAILURE() << "no such child";
  return nullptr;
}

}  // namespace drumplot::test
