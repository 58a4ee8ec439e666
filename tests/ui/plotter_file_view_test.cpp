// SPDX-License-Identifier: MIT
// Job > Open plotter file: the window shows the header at once, the film
// reduced to the view, and after the index zoomed parts of it, each picture
// the plotter file's own pixels; a damaged file shows the reader's message.
#include "ui/plotter_file_view.h"

#include <QLabel>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <functional>
#include <string>

#include "output/fpf_file.h"
#include "output/plotter_export.h"
#include "output_fixture.h"

namespace drumplot::test {
namespace {

namespace fs = std::filesystem;

class PlotterFileViewTest : public OutputWindowTest {
 protected:
  // Opens `file` through the menu and waits until its work is done.
  PlotterFileView* open(const fs::path& file) {
    prompts_.files.push_back(qstr(file));
    trigger("&Job", "Open plotter file...");
    PlotterFileView* view = nullptr;
    for (QObject* child : window_->children()) {
      if (auto* v = dynamic_cast<PlotterFileView*>(child)) view = v;  // the latest
    }
    if (view) settle(view);
    return view;
  }
  static void settle(PlotterFileView* view) {
    EXPECT_TRUE(QTest::qWaitFor([view] { return view->idle(); }, 30000));
    QApplication::processEvents();
  }
};

TEST_F(PlotterFileViewTest, ZoomedPicturesAreTheFilmsPixels) {
  start();
  PlotterExportSettings s;
  s.file = dir_ / "film.fpf";
  s.dpi = 600;  // 1856 x 1248 pixels
  s.notes = "two boards";
  exportPlotterFile(twoBoardJob(), s);
  const MonoImage film = readFpf(s.file).image;

  PlotterFileView* view = open(s.file);
  ASSERT_NE(view, nullptr);
  // The chooser starts at the export's file.
  EXPECT_EQ(prompts_.requests.back().startFile, qstr(dir_ / "TEST.FPF"));
  ASSERT_TRUE(view->indexed());
  EXPECT_TRUE(view->fault().isEmpty());
  const QString header = view->findChild<QLabel*>()->text();
  EXPECT_TRUE(header.contains("1856 x 1248 pixels")) << header.toStdString();
  EXPECT_TRUE(header.contains("two boards")) << header.toStdString();

  QWidget* area = view->filmView();
  const QPoint centre(area->width() / 2, area->height() / 2);
  const auto wheel = [area, centre](int delta) {
    QWheelEvent event(centre, area->mapToGlobal(centre), {}, {0, delta}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(area, &event);
  };
  struct Step {
    const char* what;
    std::function<void()> act;
  };
  const Step steps[] = {
      {"whole film", [] {}},
      {"rubber band",
       [&] {
         sendMouse(area, QEvent::MouseButtonPress, centre - QPoint(60, 40), Qt::LeftButton,
                   Qt::LeftButton);
         sendMouse(area, QEvent::MouseMove, centre + QPoint(40, 20), Qt::NoButton, Qt::LeftButton);
         sendMouse(area, QEvent::MouseButtonRelease, centre + QPoint(40, 20), Qt::LeftButton,
                   Qt::NoButton);
       }},
      {"wheel in past 1:1",
       [&] {
         wheel(120);
         wheel(120);
       }},
      {"minus", [&] { button(view, "-")->click(); }},
      {"wheel out", [&] { wheel(-120); }},
      {"whole film button", [&] { button(view, "Whole film")->click(); }},
  };
  FilmWindow before{};
  for (const Step& step : steps) {
    step.act();
    settle(view);
    const FilmWindow w = view->shownWindow();
    const MonoImage expected = windowOf(film, w, view->shownReduction());
    EXPECT_TRUE(view->picture().bits == expected.bits) << step.what;
    EXPECT_LE(view->picture().width, static_cast<uint32_t>(area->width())) << step.what;
    EXPECT_LE(view->picture().height, static_cast<uint32_t>(area->height())) << step.what;
    EXPECT_FALSE(w.x0 == before.x0 && w.x1 == before.x1 && w.y1 == before.y1) << step.what;
    before = w;
  }
  view->grab().save("/tmp/plotterview.png");
}

TEST_F(PlotterFileViewTest, DamagedFilesShowTheReadersMessage) {
  start();
  PlotterExportSettings s;
  s.file = dir_ / "film.fpf";
  s.dpi = 600;
  exportPlotterFile(twoBoardJob(), s);
  std::string bytes = readFile(s.file);
  const struct {
    std::string bytes;
    const char* says;
  } cases[] = {
      {bytes.substr(0, bytes.size() - 1), "damaged plotter file: rows 1244 to 1247 (record 312"},
      {bytes.substr(0, 50), "shorter than the plotter file header"},
  };
  for (const auto& c : cases) {
    const fs::path file = dir_ / "damaged.fpf";
    writeFile(file, c.bytes);
    PlotterFileView* view = open(file);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->fault().contains(qstr(file))) << view->fault().toStdString();
    EXPECT_TRUE(view->fault().contains(c.says)) << view->fault().toStdString();
    EXPECT_FALSE(view->indexed());
    view->close();
  }
  // The chooser starts at the file opened last.
  EXPECT_EQ(prompts_.requests.back().startFile, qstr(dir_ / "damaged.fpf"));
}

}  // namespace
}  // namespace drumplot::test
