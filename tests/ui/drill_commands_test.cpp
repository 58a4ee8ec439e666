// SPDX-License-Identifier: MIT
// Panelize drill driven through its dialogs, compared with drumplot-cli drill.
#include <QLabel>
#include <QLineEdit>

#include "drill/drill_panel.h"
#include "output_fixture.h"
#include "ui/drill_panel_dialog.h"
#include "ui/mark_drill_dialog.h"

namespace drumplot::test {
namespace {

QStringList labelTexts(QWidget* dialog) {
  QStringList texts;
  for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
  return texts;
}

TEST_F(OutputWindowTest, DrillPanelizationThroughTheDialogsWritesWhatTheCliWrites) {
  start();
  std::filesystem::path jobFile = openJobFile(demoJob());

  std::filesystem::path panel = dir_ / "window.drl";
  prompts_.files = {qstr(demoFile("demo.drl")), qstr(panel)};
  QImage overview;
  whenShown<DrillPanelDialog>([&](DrillPanelDialog& dialog) {
    button(&dialog, "Import file")->click();
    button(&dialog, "Export file")->click();
    EXPECT_TRUE(labelTexts(&dialog).contains(qstr(panel)));
    typeInto(dialog.findChild<QWidget*>("dX"), "1.27");
    typeInto(dialog.findChild<QWidget*>("dY"), "-2.54");

    whenShown<MarkDrillDialog>([](MarkDrillDialog& marks) {
      QStringList names = labelTexts(&marks);
      EXPECT_EQ(names.count("Target"), 1);
      EXPECT_EQ(marks.toolField(0)->text(), "T01F095S3");
      typeInto(marks.toolField(0), "T07F095S3");
      button(&marks, "&Ok")->click();
    });
    button(&dialog, "Assign drill to mark")->click();

    closePreviewWhenShown(&overview);
    button(&dialog, "&Ok")->click();
  });
  trigger("&Tools", "Panelize drill");
  EXPECT_FALSE(overview.isNull());
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join("; ").toStdString();
  // The demo drill file states its format (INCH,LZ: 2.4, trailing zeros
  // left out), which is not the status line's.
  EXPECT_EQ(prompts_.messages,
            QStringList{qstr(demoFile("demo.drl")) +
                        ": read in the file's own format (inch 2.4, trailing zeros left out), not "
                        "in the given data format (inch 2.3, leading zeros left out)"});

  std::filesystem::path fromCli = dir_ / "cli.drl";
  runCli({"drill", qstr(jobFile), "--in", qstr(demoFile("demo.drl")), "--out", qstr(fromCli),
          "--offset", "1.27,-2.54", "--unit", "mm", "--format", "2.4,trailing,inch", "--mark-tool",
          "Target=T07F095S3"});
  std::string windowText = readFile(panel);
  EXPECT_NE(windowText.find("T07F095S3\r\n"), std::string::npos);
  EXPECT_EQ(windowText, readFile(fromCli));
}

TEST_F(OutputWindowTest, DrillPanelizationWithoutFileNamesSaysWhatIsMissing) {
  start();
  openJobFile(demoJob());
  // No names at all: the output is checked first.
  whenShown<DrillPanelDialog>([](DrillPanelDialog& dialog) { button(&dialog, "&Ok")->click(); });
  trigger("&Tools", "Panelize drill");
  // An output name but no input: the data file is empty. The names and the
  // mark tools start afresh at every opening.
  prompts_.files = {qstr(dir_ / "out.drl")};
  whenShown<DrillPanelDialog>([](DrillPanelDialog& dialog) {
    EXPECT_TRUE(labelTexts(&dialog).contains("Import file name:"));
    button(&dialog, "Export file")->click();
    button(&dialog, "&Ok")->click();
  });
  trigger("&Tools", "Panelize drill");
  EXPECT_EQ(prompts_.messages, (QStringList{"Output file is not specified", "Data file is empty"}));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.drl"));

  whenShown<DrillPanelDialog>(
      [](DrillPanelDialog& dialog) { button(&dialog, "&Cancel")->click(); });
  trigger("&Tools", "Panelize drill");
  EXPECT_EQ(prompts_.messages.size(), 2);
}

}  // namespace
}  // namespace drumplot::test
