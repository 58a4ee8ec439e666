// SPDX-License-Identifier: MIT
// drumplot-cli render: geometry of the image, aperture files, bands.
#include "cli/render_command.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

#include "engine/errors.h"
#include "output/band_image.h"
#include "support/test_support.h"
#include "support/tiff_reader.h"

namespace drumplot {
namespace {

const std::string kDemo = std::string(DRUMPLOT_SOURCE_DIR) + "/examples/demo/";

RenderOptions silk(bool withApertures) {
  RenderOptions o;
  o.gerberFile = kDemo + "demo-silk.pho";
  if (withApertures) o.apertureFile = kDemo + "demo-silk.Env";
  o.dpi = 500;
  return o;
}

// The exposure's bounding box: left, top, right, bottom (exclusive).
std::array<uint32_t, 4> exposureBox(const MonoImage& image) {
  std::array<uint32_t, 4> box{image.width, image.height, 0, 0};
  for (uint32_t y = 0; y < image.height; ++y) {
    for (uint32_t x = 0; x < image.width; ++x) {
      if (!image.exposed(x, y)) continue;
      box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x + 1),
             std::max(box[3], y + 1)};
    }
  }
  return box;
}

// A PNG's pHYs (pixels per metre across and down) and its first text
// chunk: "ACROSS DOWN KEYWORD TEXT".
std::string pngPlace(const std::filesystem::path& file) {
  FILE* f = std::fopen(file.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_read_info(png, info);
  png_uint_32 across = 0, down = 0;
  int unit = 0;
  png_get_pHYs(png, info, &across, &down, &unit);
  std::string place = std::to_string(across) + " " + std::to_string(down);
  png_textp text = nullptr;
  if (png_get_text(png, info, &text, nullptr) > 0)
    place += std::string(" ") + text[0].key + " " + text[0].text;
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return place;
}

TEST(RenderCommandTest, LayersDrawnThroughOneWindowOverlay) {
  // Two layers of one board: a 0.1-inch square pad centred at (0.4, 0.2),
  // and a 0.02-inch line through its centre from (0.1, 0.2) to (0.6, 0.2).
  const auto dir = test::tempDir();
  const std::string head = "%FSLAX24Y24*%\n%MOIN*%\n%ADD10R,0.1000X0.1000*%\n%ADD11C,0.0200*%\n";
  test::writeFile(dir / "pad.gbr", head + "D10*\nX4000Y2000D03*\nM02*\n");
  test::writeFile(dir / "line.gbr", head + "D11*\nX1000Y2000D02*\nX6000Y2000D01*\nM02*\n");
  struct Case {
    RenderWindow window;
    const char* picture;
    uint32_t width, height;
    int64_t left, bottom;  // the corner, whole pixels of the file's frame
    const char *x, *y;     // the top-left corner, inches
  };
  const Case cases[] = {
      {{-0.25, -0.15, 0.75, 0.55}, "pad.png", 100, 70, -25, -15, "-0.25", "0.55"},
      // The corner on half a pixel snaps down; 70.5 x 34.5 pixels round up.
      {{-0.105, 0.055, 0.6, 0.4}, "pad.tif", 71, 35, -11, 5, "-0.11", "0.4"},
      // Decimal inches a double misses by a hair: 0.29 x 100 is 29 pixels.
      {{0.29, 0.07, 0.61, 0.43}, "pad.png", 32, 36, 29, 7, "0.29", "0.43"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    RenderOptions o;
    o.dpi = 100;
    o.window = c.window;
    o.gerberFile = (dir / "pad.gbr").string();
    o.outputFile = (dir / c.picture).string();
    std::ostringstream json;
    runRender(o, json, std::cerr, true);
    const bool png = o.outputFile.ends_with(".png");
    test::TiffFacts tiff;
    const MonoImage pad = png ? readPng(o.outputFile) : test::readTiff(o.outputFile, &tiff);
    o.gerberFile = (dir / "line.gbr").string();
    const MonoImage line = renderLayer(o);
    ASSERT_TRUE(pad.width == c.width && pad.height == c.height &&
                line.bits.size() == pad.bits.size() && line.width == c.width);
    // The pad's centre, pixels from the picture's left and top edges.
    const uint32_t cx = static_cast<uint32_t>(40 - c.left);
    const uint32_t cy = static_cast<uint32_t>(c.height - (20 - c.bottom));
    EXPECT_EQ(exposureBox(pad), (std::array<uint32_t, 4>{cx - 5, cy - 5, cx + 5, cy + 5}));
    // The line runs through the pad's centre in the other picture.
    EXPECT_TRUE(line.exposed(cx - 1, cy - 1) && line.exposed(cx, cy));
    EXPECT_FALSE(line.exposed(cx, cy - 2) || line.exposed(cx, cy + 1));
    // The file states where it lies, as --json does.
    const std::string place = std::string(c.x) + " " + c.y;
    const std::string jsonOrigin = std::string("\"origin_x\":") + c.x + ",\"origin_y\":" + c.y;
    EXPECT_NE(json.str().find(jsonOrigin), std::string::npos) << json.str();
    if (png) {
      EXPECT_EQ(pngPlace(o.outputFile), "3937 3937 drumplot-origin " + place);  // 100 dpi
    } else {
      EXPECT_TRUE(tiff.xResolution == 100.0f && tiff.resolutionUnit == RESUNIT_INCH);
      EXPECT_EQ(tiff.description, "drumplot-origin " + place);
    }
  }
  // Refused: an empty window, and one that holds more than the memory setting.
  EXPECT_THROW(windowPixels({0.5, 0.0, 0.5, 1.0}, 100, 1 << 20), std::invalid_argument);
  test::expectError<std::invalid_argument>(
      [] {
        return windowPixels({0, 0, 10, 10}, 10000, memoryBudgetBytes(100));
      },
      "100000 x 100000 pixels (1193 MB), more than the memory setting of 100 MB holds");
}

TEST(RenderCommandTest, ImageHoldsWhatTheLayerDrawsAndUsesItsApertureFile) {
  // Extents 0.18 .. 1.62 x 0.18 .. 2.12 inch; the 8-mil outline reaches 4
  // mils out, the 60 x 40-mil oblong pad at (1.62, 2.12) 30 mils right and
  // 20 up. At margin 0 nothing touches the picture's border.
  RenderOptions o = silk(true);
  o.margin = 0.0;
  MonoImage with = renderLayer(o);
  const auto [x0, y0, x1, y1] = exposureBox(with);
  EXPECT_GT(x0, 0u);
  EXPECT_GT(y0, 0u);
  EXPECT_LT(x1, with.width);
  EXPECT_LT(y1, with.height);
  EXPECT_NEAR(x1 - x0, (1.65 - 0.176) * 500, 2);
  // Without the aperture file the pads have no aperture and draw nothing.
  MonoImage without = renderLayer(silk(false));
  EXPECT_LT(without.exposedCount(), with.exposedCount());
}

TEST(RenderCommandTest, PadAtTheTopRightShowsAtTheTopRight) {
  // A 0.2-inch square at (1, 1), right of and above a pad at the origin.
  const auto dir = test::tempDir();
  test::writeFile(dir / "corner.gbr",
                  "%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.0500*%\n%ADD11R,0.2000X0.2000*%\n"
                  "D10*\nX0Y0D03*\nD11*\nX10000Y10000D03*\nM02*\n");
  RenderOptions o;
  o.gerberFile = (dir / "corner.gbr").string();
  o.outputFile = (dir / "corner.tif").string();
  o.dpi = 100;
  std::ostringstream out;
  runRender(o, out);
  // The square's 20 x 20 pixels fill the top right of the exposure's box,
  // the round pad its bottom left.
  MonoImage shown = test::readTiff(o.outputFile);
  const auto [x0, y0, x1, y1] = exposureBox(shown);
  EXPECT_TRUE(shown.exposed(x1 - 1, y0) && shown.exposed(x1 - 20, y0 + 19));
  EXPECT_TRUE(shown.exposed(x0 + 2, y1 - 3));
  EXPECT_FALSE(shown.exposed(x0, y0) || shown.exposed(x1 - 1, y1 - 1));
  o.asPlotted = true;  // Y down: the square at the bottom right
  MonoImage plotted = renderLayer(o);
  flipImageRows(plotted, plotted.height);
  EXPECT_TRUE(plotted.bits == shown.bits);
}

TEST(RenderCommandTest, FilesAndErrors) {
  auto dir = test::tempDir();
  RenderOptions o = silk(true);
  o.outputFile = (dir / "silk.pbm").string();
  std::ostringstream out;
  runRender(o, out);
  EXPECT_NE(out.str().find("864 x 1093 pixels"), std::string::npos) << out.str();
  EXPECT_EQ(test::readFile(dir / "silk.pbm").substr(0, 12), "P4\n864 1093\n");
  o.apertureFile = kDemo + "missing.Env";
  EXPECT_THROW(renderLayer(o), IoError);
  o.apertureFile.clear();
  o.gerberFile = kDemo + "missing.gbr";
  EXPECT_THROW(renderLayer(o), IoError);

  // Sizes that cannot be meant are refused before drawing. Read as 2.3
  // inch, a line from (1, 1) to X99999999 is 99999 inches long.
  test::writeFile(dir / "huge.gbr", "%ADD10C,0.010*%D10*X1000Y1000D02*X99999999Y1000D01*M02*");
  o = RenderOptions{};
  o.gerberFile = (dir / "huge.gbr").string();
  o.outputFile = (dir / "huge.png").string();
  o.dpi = 1;
  o.plotWidth = 10.0;
  o.plotHeight = 12.0;
  test::expectError<FormatError>(
      [&] { runRender(o, out); },
      "huge.gbr: the data measures 99998.999 x 0.000 inch (2539974.6 x 0.0 mm), far more than a "
      "plotting area of 10.000 x 12.000 inch can take; read as 2.3,leading,abs,inch: check the "
      "data format");
  EXPECT_FALSE(std::filesystem::exists(o.outputFile));
  o.force = true;
  runRender(o, out);
  EXPECT_NE(out.str().find("100032 x 13 pixels"), std::string::npos) << out.str();

  // The demo layer at 40000 dpi would be 5.9e9 pixels.
  o = silk(false);
  o.gerberFile = kDemo + "demo-top.gbr";
  o.dpi = 40000;
  test::expectError<FormatError>([&] { renderLayer(o); },
                                 "72256 x 81806 pixels (705 MB), more than 2^31 pixels");
}

}  // namespace
}  // namespace drumplot
