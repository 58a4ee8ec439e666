// SPDX-License-Identifier: MIT
// drumplot-cli render: geometry of the image, aperture files, bands.
#include "cli/render_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/errors.h"
#include "support/test_support.h"

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

TEST(RenderCommandTest, ImageGeometryAndTheLayersApertureFile) {
  // Extents 0.18 .. 1.62 x 0.18 .. 2.12 inch, margin 0.1: the data point
  // (0.08, 0.08) is the top-left pixel corner.
  MonoImage with = renderLayer(silk(true));
  EXPECT_EQ(with.width, 32u * 26u);  // ceil((1.44 + 0.2) x 500 / 32) x 32
  EXPECT_EQ(with.height, 1070u);     // ceil((1.94 + 0.2) x 500)
  auto px = [](double inch) { return static_cast<uint32_t>((inch - 0.08) * 500); };
  // D11 is a 40-mil square in the aperture file: 20 pixels across at 500 dpi.
  EXPECT_TRUE(with.exposed(px(1.62) + 8, px(2.02) + 8));
  EXPECT_FALSE(with.exposed(px(1.62) + 12, px(2.02)));
  // The 8-mil outline (4 pixels, drawn 5 wide).
  EXPECT_TRUE(with.exposed(px(0.9), px(0.18)));
  // Without the aperture file the pads have no aperture and draw nothing.
  MonoImage without = renderLayer(silk(false));
  EXPECT_FALSE(without.exposed(px(1.62) + 8, px(2.02) + 8));
  EXPECT_LT(without.exposedCount(), with.exposedCount());
}

TEST(RenderCommandTest, BandsGiveTheSameImage) {
  RenderOptions o = silk(true);
  o.gerberFile = kDemo + "demo-top.gbr";
  o.apertureFile.clear();
  MonoImage whole = renderLayer(o);
  for (int64_t rows : {1, 32, 100}) {
    o.bandRows = rows;
    EXPECT_EQ(renderLayer(o).bits, whole.bits) << rows << " rows a band";
  }
}

TEST(RenderCommandTest, FilesAndErrors) {
  auto dir = test::tempDir();
  RenderOptions o = silk(true);
  o.outputFile = (dir / "silk.pbm").string();
  std::ostringstream out;
  runRender(o, out);
  EXPECT_NE(out.str().find("832 x 1070 pixels"), std::string::npos) << out.str();
  EXPECT_EQ(test::readFile(dir / "silk.pbm").substr(0, 12), "P4\n832 1070\n");
  o.apertureFile = kDemo + "missing.Env";
  EXPECT_THROW(renderLayer(o), IoError);
  o.apertureFile.clear();
  o.gerberFile = kDemo + "missing.gbr";
  EXPECT_THROW(renderLayer(o), IoError);
}

TEST(RenderCommandTest, SizesThatCannotBeMeantAreRefusedBeforeDrawing) {
  auto dir = test::tempDir();
  // Read as 2.3 inch, a line from (1, 1) to X99999999 is 99999 inches long.
  test::writeFile(dir / "huge.gbr", "%ADD10C,0.010*%D10*X1000Y1000D02*X99999999Y1000D01*M02*");
  RenderOptions o;
  o.gerberFile = (dir / "huge.gbr").string();
  o.outputFile = (dir / "huge.png").string();
  o.dpi = 1;
  o.plotWidth = 10.0;
  o.plotHeight = 12.0;
  std::ostringstream out;
  test::expectError<FormatError>(
      [&] { runRender(o, out); },
      "huge.gbr: the data measures 99998.999 x 0.000 inch (2539974.6 x 0.0 mm), far more than a "
      "plotting area of 10.000 x 12.000 inch can take; read as 2.3,leading,abs,inch: check the "
      "data format");
  EXPECT_FALSE(std::filesystem::exists(o.outputFile));
  o.force = true;
  runRender(o, out);
  EXPECT_NE(out.str().find("100000 x 1 pixels"), std::string::npos) << out.str();

  // The demo layer at 40000 dpi would be 7.8e9 pixels.
  o = silk(false);
  o.gerberFile = kDemo + "demo-top.gbr";
  o.dpi = 40000;
  test::expectError<FormatError>([&] { renderLayer(o); },
                                 "98016 x 80000 pixels (935 MB), more than 2^31 pixels");
}

}  // namespace
}  // namespace drumplot
