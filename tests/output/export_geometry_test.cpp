// SPDX-License-Identifier: MIT
// Image and preview sizes, board layers, the tech-area frame in pixels and
// the half-inch band rule.
#include "output/export_geometry.h"

#include <gtest/gtest.h>

namespace drumplot {
namespace {

TEST(ExportGeometryTest, ImageAndPreviewSizes) {
  // 32 x floor((round(X dpi) + round(0.6 dpi)) / 32).
  EXPECT_EQ(plotterSide_px(10.0, 2032), 21536);  // (20320 + 1219) / 32 = 673.09
  EXPECT_EQ(plotterSide_px(0.43, 1000), 1024);
  EXPECT_EQ(plotterSide_px(0.1, 6500), 4544);
  EXPECT_EQ(plotterSide_px(-2.0, 1000), -1408);  // boards left of the area: refused later
  // Wider than high: 800 wide; otherwise 800 high and the width a multiple of 8.
  EXPECT_EQ(previewSize(1024, 800, 1000), (PreviewSize{800, 625, 781.25}));
  EXPECT_EQ(previewSize(800, 1024, 1000), (PreviewSize{624, 800, 781.25}));
  EXPECT_EQ(previewSize(1024, 1024, 2032), (PreviewSize{800, 800, 1587.5}));
  EXPECT_EQ(previewSize(409600, 256, 1000).height_px, 0);  // too flat for a row
}

TEST(ExportGeometryTest, BoardLayersInDrawingOrder) {
  Job job;
  job.Boards.resize(3);
  job.Boards[0].LayerGerber[2] = "/a/3.gbr";
  job.Boards[0].LayerGerber[0] = "/a/1.gbr";
  job.Boards[0].LayerAperture[0] = "/a/1.Env";
  job.Boards[1].LayerGerber[0] = "/b/1.gbr";
  job.Boards[1].PosX = 2.0;
  job.Boards[1].PosY = 3.0;
  job.Boards[1].DataMinX = -1.5;
  job.Boards[2].LayerGerber[1] = "/c/2.gbr";
  OutputLayers layers{};
  layers[0] = layers[2] = true;
  std::vector<BoardLayer> out = outputBoardLayers(job, layers, 0.25, 0.5);
  ASSERT_EQ(out.size(), 3u);  // layer 1: boards 1 and 2; layer 3: board 1
  EXPECT_EQ(out[0].gerberFile, "/a/1.gbr");
  EXPECT_EQ(out[0].apertureFile, "/a/1.Env");
  EXPECT_EQ(out[1].board, 1u);
  EXPECT_EQ(out[1].x, 2.25);
  EXPECT_EQ(out[1].y, 3.5);
  EXPECT_EQ(out[1].dataMinX, -1.5);
  EXPECT_EQ(out[1].apertureFile, "");
  EXPECT_EQ(out[2].layer, 3);
}

TEST(ExportGeometryTest, FrameAndBandReach) {
  TechAreaFrame frame;
  frame.Strips[0] = {0.0, 0.0, 0.1, 2.0};
  frame.Strips[3] = {0.0, 1.9, 2.0, 2.0};
  std::array<PixelRect, 4> r = techFrameRects(frame, 1000);
  EXPECT_EQ(r[0], (PixelRect{0, 0, 100, 2000}));
  EXPECT_EQ(r[3], (PixelRect{0, 1900, 2000, 2000}));
  // A band of rows 1000..1999 at 1000 dpi: inches 1 to 2.
  const BandSpan band{1000, 1000};
  EXPECT_TRUE(boardReachesBand(2.5, 0.0, band, 1000));  // top half an inch below the band
  EXPECT_FALSE(boardReachesBand(2.51, 0.0, band, 1000));
  EXPECT_TRUE(boardReachesBand(0.2, 0.3, band, 1000));  // ends half an inch above it
  EXPECT_FALSE(boardReachesBand(0.2, 0.29, band, 1000));
}

}  // namespace
}  // namespace drumplot
