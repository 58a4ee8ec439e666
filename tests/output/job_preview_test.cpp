// SPDX-License-Identifier: MIT
// Preview and print: fitting the job to a window and a page, and drawing it
// in the layer colours (preview) or in black (print).
#include "output/job_preview.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/errors.h"
#include "export_test_support.h"

namespace drumplot::test {
namespace {

// Client areas less 6 pixels: 806 x 606 gives 800 x 600 (w = 1.33); the
// job's bottom edge lands at 98 % of the height.
TEST(PreviewFitTest, Size) {
  // clang-format off
  const struct {
    double maxX, maxY;
    int64_t clientWidth, clientHeight;
    int zoom;
    int64_t width, height;
  } rows[] = {
    {2.0, 2.0, 806, 606, 1,  600,  600},   // narrower: the height fills
    {2.0, 2.0, 806, 606, 2, 1200, 1200},   // "2:1": twice both ways
    {4.0, 1.0, 806, 606, 1,  800,  200},   // wider: the width fills
    {4.0, 1.0, 806, 606, 3, 2400,  600},
    {1.0, 1.0, 807, 607, 1,  601,  600},   // height 601 down to even, width not
    {3.0, 1.0, 806, 606, 1,  800,  266},   // round(266.7) = 267, down to even
    {4.0, 3.0, 806, 606, 1,  800,  600},   // a = w: the height fills
    {0.0, 1.0, 806, 606, 1,    0,    0},   // no width: nothing to fit
    {1.0, 1.0,   6, 606, 1,    0,    0}};  // no client area
  // clang-format on
  for (const auto& c : rows) {
    const OutputFit fit = previewFit(c.maxX, c.maxY, c.clientWidth, c.clientHeight, c.zoom);
    EXPECT_EQ(std::pair(fit.width_px, fit.height_px), std::pair(c.width, c.height))
        << c.maxX << " x " << c.maxY << " in " << c.clientWidth << " x " << c.clientHeight;
    if (c.height > 0) {
      EXPECT_DOUBLE_EQ(fit.pixelsPerInch * c.maxY, 0.98 * static_cast<double>(c.height));
    }
  }
}

TEST(PrintFitTest, ReducesAJobLargerThanThePageByTheLargerRatio) {
  // A job 10 inches wide at 600 dpi on a page 4800 pixels wide: f = 6000 / 4770.
  PrinterPage page{4800, 6000, 600.0, 600.0};
  EXPECT_EQ(printFit(10.0, 5.0, page), (OutputFit{4770 + 2, 2385 + 2, 600.0 / (6000.0 / 4770.0)}));

  // Too high by more than too wide: the height decides.
  OutputFit high = printFit(9.0, 12.0, page);
  EXPECT_EQ(high.height_px, 5970 + 2);
  EXPECT_DOUBLE_EQ(high.pixelsPerInch, 600.0 / (7200.0 / 5970.0));

  // A job that fits is printed at the printer's resolution.
  EXPECT_EQ(printFit(2.0, 3.0, page), (OutputFit{1202, 1802, 600.0}));

  // Different resolutions: each direction's size in its own, drawn at dpiX.
  EXPECT_EQ(printFit(2.0, 3.0, {4800, 6000, 600.0, 300.0}), (OutputFit{1202, 902, 600.0}));
}

// The two boards of twoBoardJob, layer 1 drawn blue and layer 2 red.
Job twoLayerJob() {
  Job job = twoBoardJob();
  job.settings.LayerColors[0] = 0xFF0000;  // $00BBGGRR: blue
  job.settings.LayerColors[1] = 0x0000FF;  // red
  return job;
}

std::set<Rgb> colours(const RgbSurface& image) {
  std::set<Rgb> found;
  for (int64_t y = 0; y < image.rows(); ++y) {
    for (int64_t x = 0; x < image.width_px(); ++x) found.insert(image.pixel(x, y));
  }
  return found;
}

TEST(JobPreviewTest, LayersInTheirColoursAndTheMirrorTurnsThePicture) {
  Job job = twoLayerJob();
  JobPreviewSettings settings;
  settings.draw.layers.fill(false);
  settings.draw.layers[0] = true;
  settings.mirror = true;

  JobPreview onlyFirst = renderJobPreview(job, settings, 806, 606);
  // The job reaches 2.5 x 1.5 inches: a = 1.67 > 1.33, the width fills.
  EXPECT_EQ(std::tuple(onlyFirst.image.width_px(), onlyFirst.image.rows()), std::tuple(800, 480));
  EXPECT_EQ(colours(onlyFirst.image), (std::set<Rgb>{kWhite, 0x0000FF}));

  settings.draw.layers[1] = true;
  JobPreview both = renderJobPreview(job, settings, 806, 606);
  EXPECT_EQ(colours(both.image), (std::set<Rgb>{kWhite, 0x0000FF, 0xFF0000}));
  // The first board's first pad (0.15 .. 0.25 inch) is drawn last, in red.
  const auto centre = static_cast<int64_t>(0.2 * 0.98 * 480 / 1.5);
  EXPECT_EQ(both.image.pixel(centre, centre), 0xFF0000u);

  settings.mirror = false;
  JobPreview turned = renderJobPreview(job, settings, 806, 606);
  ASSERT_EQ(turned.image.rows(), both.image.rows());
  const int64_t h = both.image.rows();
  for (int64_t y = 0; y < h; ++y) {
    for (int64_t x = 0; x < both.image.width_px(); ++x) {
      ASSERT_EQ(turned.image.pixel(x, y), both.image.pixel(x, h - 1 - y)) << x << ", " << y;
    }
  }
}

TEST(JobPreviewTest, TheTechAreaFrameFitsInThePicture) {
  Job job = twoLayerJob();
  job.settings.tech = TechArea{6.35, 10.0, 10.0, 10.0, 10.0};
  JobPreviewSettings settings;
  settings.draw.techArea = true;
  settings.mirror = true;
  JobPreview preview = renderJobPreview(job, settings, 806, 606);
  // The frame's bottom strip reaches 98 % of the height, not past the picture.
  const RgbSurface& image = preview.image;
  int64_t lastBlackRow = -1;
  for (int64_t y = 0; y < image.rows(); ++y) {
    if (image.pixel(image.width_px() / 2, y) == kBlack) lastBlackRow = y;
  }
  EXPECT_GT(lastBlackRow, image.rows() * 95 / 100);
  EXPECT_LT(lastBlackRow, image.rows());
  EXPECT_EQ(image.pixel(image.width_px() - 1, image.rows() - 1), kWhite);
}

TEST(JobPrintTest, TheJobInBlackAtThePagesResolution) {
  Job job = twoLayerJob();
  DrawSettings settings;
  JobPrint print = renderJobPrint(job, settings, PrinterPage{2000, 2000, 300.0, 300.0});
  EXPECT_EQ(print.fit, (OutputFit{752, 452, 300.0}));  // 2.5 x 1.5 inches
  ASSERT_EQ(std::tuple(print.image.width_px(), print.image.rows()), std::tuple(752, 452));
  // The first board's first pad covers 0.15 .. 0.25 inch: pixels 45 to 74.
  EXPECT_FALSE(print.image.isBackground(60, 60));
  EXPECT_TRUE(print.image.isBackground(40, 60));
  EXPECT_TRUE(print.image.isBackground(60, 452 - 60));  // not turned
}

TEST(JobPreviewTest, NothingToDrawIsAnErrorAndCancellingStops) {
  Job job = twoLayerJob();
  JobPreviewSettings settings;
  settings.draw.layers.fill(false);
  settings.draw.layers[5] = true;
  EXPECT_THROW(renderJobPreview(job, settings, 806, 606), FormatError);
  EXPECT_THROW(renderJobPrint(job, settings.draw, PrinterPage{2000, 2000, 300.0, 300.0}),
               FormatError);

  // Cancelling stops before the next layer.
  Progress progress;
  int layersStarted = 0;
  progress.layerStarted = [&](const std::string&) {
    if (++layersStarted == 1) progress.cancelled = true;
  };
  JobPreview preview = renderJobPreview(job, JobPreviewSettings{}, 806, 606, &progress);
  EXPECT_TRUE(preview.cancelled);
  EXPECT_EQ(layersStarted, 1);
}

}  // namespace
}  // namespace drumplot::test
