// SPDX-License-Identifier: MIT
// The plotter file's place-keeping: bytes written ahead of the blocks that
// fill them later, and nothing at the target before the commit.
#include "output/replacing_file.h"

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

TEST(ReplacingFileTest, WriteAtFillsAKeptPlaceAndNothingPastTheEnd) {
  const std::filesystem::path target = test::tempDir() / "kept.fpf";
  test::writeFile(target, "older");
  ReplacingFile file(target);
  const uint8_t head[] = {'H', '.', '.', '.', 'T'};
  file.write(head);
  const uint8_t middle[] = {'a', 'b', 'c'};
  file.writeAt(1, middle);
  EXPECT_EQ(file.bytesWritten(), 5u);
  EXPECT_THROW(file.writeAt(3, middle), IoError);  // would run past the bytes written
  EXPECT_EQ(test::readFile(target), "older");
  file.commit();
  EXPECT_EQ(test::readFile(target), "HabcT");
}

}  // namespace
}  // namespace drumplot
