// SPDX-License-Identifier: MIT
// Dialog rules that need no main window, the file filters in Qt's form,
// the text viewer, and long work on a worker thread.
#include <QFontInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>
#include <QtTest/QTest>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>

#include "engine/errors.h"
#include "support/test_support.h"
#include "ui/background_work.h"
#include "ui/number_field.h"
#include "ui/panelize_dialog.h"
#include "ui/text_viewer.h"
#include "ui_test_support.h"

namespace drumplot::test {
namespace {

TEST(DialogTest, PanelizeIsLeftOnlyByOkOrCancelAndEnterMovesOn) {
  PanelizeDialog dialog;
  dialog.load("Inch");
  dialog.show();
  EXPECT_EQ(dialog.findChild<QLineEdit*>("Distance X")->text(), "0.2");
  EXPECT_DOUBLE_EQ(dialog.result().distanceX_mm, 5.08);

  QTest::keyClick(&dialog, Qt::Key_Escape);
  dialog.close();
  EXPECT_TRUE(dialog.isVisible());

  auto* repeatX = dialog.findChild<QSpinBox*>("Repeat X");
  repeatX->setFocus();
  QTest::keyClick(repeatX, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(QApplication::focusWidget(), repeatX);

  button(&dialog, "&Cancel")->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result().repeatX, 0);
}

TEST(DialogTest, NumberFieldsShowSetValuesAsTheyAreAndCheckWhatIsTyped) {
  NumberField field(100.0, 520.0, 2, NumberField::Decimals::Fixed);
  field.setValue(30.0);  // outside the range, from a settings file
  EXPECT_EQ(field.text(), "30.00");
  EXPECT_TRUE(field.typedValueValid());
  EXPECT_TRUE(typedValuesValid({&field}));
  typeInto(&field, "600");
  EXPECT_FALSE(field.typedValueValid());
  typeInto(&field, "250.5");
  EXPECT_TRUE(field.typedValueValid());
  EXPECT_DOUBLE_EQ(field.value(), 250.5);

  NumberField trimmed(0.0, 100.0, 4, NumberField::Decimals::Trimmed);
  trimmed.setValue(6.35 / 25.4);
  EXPECT_EQ(trimmed.text(), "0.25");
  trimmed.setValue(5.0);
  EXPECT_EQ(trimmed.text(), "5.0");
  EXPECT_DOUBLE_EQ(trimmed.value(), 5.0);  // the value set, not the text
}

TEST(DialogTest, QtNameFilterFromTheWrittenForm) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"Gerber data  (*.dat)|*.dat",             "Gerber data  (*.dat)"},
      {"Gerber data (*.gbr;*.pho)|*.gbr;*.pho",  "Gerber data (*.gbr *.pho)"},
      {"All extension (*.*)|*.*",                "All extension (*.*)"},
      {"Text file(*.*)|*.*",                     "Text file(*.*)"},
      {"Extended gerber data(RS274X)|*.*",       "Extended gerber data(RS274X) (*.*)"},
      {"Plain (*.txt)",                          "Plain (*.txt)"}};
  // clang-format on
  for (auto [written, qt] : cases) EXPECT_EQ(qtNameFilter(written), qt) << written;
}

TEST(DialogTest, TextViewerShowsAFileReadOnlyInAFixedPitchFont) {
  ScriptedPrompts prompts;
  TextViewer viewer(prompts);
  std::filesystem::path file = tempDir() / "notes.txt";
  writeFile(file, "G04 first*\nX100Y200D01*\n");
  prompts.files = {qstr(file), qstr(tempDir() / "absent.txt")};
  QAction* open = viewer.findChild<QMenuBar*>()->actions().at(0);
  open->trigger();
  EXPECT_EQ(viewer.shownText(), "G04 first*\nX100Y200D01*\n");
  auto* text = viewer.findChild<QPlainTextEdit*>();
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_TRUE(QFontInfo(text->font()).fixedPitch());

  open->trigger();  // a file that cannot be read: the error, the old text stays
  ASSERT_EQ(prompts.warnings.size(), 1);
  EXPECT_TRUE(prompts.warnings[0].contains("absent.txt"));
  EXPECT_EQ(viewer.shownText(), "G04 first*\nX100Y200D01*\n");
}

TEST(BackgroundWorkTest, TheWindowKeepsServingTimersAndFailuresArriveOnItsThread) {
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  std::thread::id workerThread;
  int result = runInBackground([&] {
    workerThread = std::this_thread::get_id();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return 42;
  });
  EXPECT_EQ(result, 42);
  EXPECT_NE(workerThread, std::this_thread::get_id());
  EXPECT_GE(ticks, 5);
  EXPECT_THROW(runInBackground([]() -> int { throw IoError("top.gbr: cannot open"); }), IoError);
}

}  // namespace
}  // namespace drumplot::test
