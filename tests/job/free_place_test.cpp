// SPDX-License-Identifier: MIT
// The first free place of a board added without a position: left-top first,
// then beside or below the boards already placed, by what each draws.
#include "job/free_place.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace drumplot {
namespace {

// Boards drawn by one square flash of `side` inches centred on (0, 0): the
// reach runs from half a side left of and above the board's corner.
TEST(FreePlaceTest, TopmostThenLeftmostPlaceThatKeepsTheGap) {
  const auto dir = test::tempDir();
  auto square = [&](double side) {
    const std::string name = "sq" + std::to_string(static_cast<int>(side * 10)) + ".gbr";
    test::writeFile(dir / name, "%FSLAX24Y24*%%MOIN*%%ADD10R," + std::to_string(side) + "X" +
                                    std::to_string(side) + "*%D10*X0Y0D03*M02*");
    return (dir / name).string();
  };
  const double g = kFreePlaceGap;
  // clang-format off
  const struct { std::vector<std::tuple<double, double, double>> placed; double side;
                 std::optional<std::pair<double, double>> expected; } cases[] = {
      {{}, 1.0, std::pair(0.5, 0.5)},                              // the area's left-top corner
      {{{0.5, 0.5, 1.0}}, 1.0, std::pair(1.5 + g, 0.5)},           // right of the first
      {{{0.5, 0.5, 1.0}, {8.0, 0.5, 10.0}}, 2.0, std::pair(1.0, 2.0 + g)},  // no room right: below
      {{{3.5, 3.5, 1.0}}, 1.0, std::pair(0.5, 0.5)},               // the corner is free
      {{{0.5, 0.5, 1.0}}, 14.0, std::nullopt},                     // larger than the area
  };
  // clang-format on
  for (const auto& c : cases) {
    Job job;
    job.JobName = (dir / "j.wpr").string();
    for (const auto& [x, y, side] : c.placed) {
      const size_t i = job.createBoard(square(side), {0.0, 0.0, 0.0, 0.0});
      job.moveTo(i, x, y);
    }
    const size_t added = job.createBoard(square(c.side), {0.0, 0.0, 0.0, 0.0});
    const auto place = firstFreePlace(job, added);
    ASSERT_EQ(place.has_value(), c.expected.has_value()) << c.side;
    if (!place) continue;
    // The reach is measured in pixels of a hundredth of an inch, rounded outwards.
    EXPECT_NEAR(place->first, c.expected->first, 0.07) << c.side;
    EXPECT_NEAR(place->second, c.expected->second, 0.07) << c.side;
  }
}

}  // namespace
}  // namespace drumplot
