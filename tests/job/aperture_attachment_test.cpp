// SPDX-License-Identifier: MIT
// Attaching an aperture file to the active layer of the selected boards.
#include "job/aperture_attachment.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/errors.h"

namespace drumplot {
namespace {

TEST(ApertureAttachmentTest, GoesToTheActiveLayerOfSelectedBoardsWhole) {
  Job job;
  job.boards.resize(3);
  job.boards[0].Selected = job.boards[2].Selected = true;
  job.storedActiveLayer = 4;
  std::string longName = "/apertures/" + std::string(235, 'a') + ".Env";  // 250 characters
  attachApertureFile(job, longName);
  EXPECT_EQ(job.boards[0].LayerAperture[3], longName);
  EXPECT_EQ(job.boards[2].LayerAperture[3], longName);
  EXPECT_EQ(job.boards[1].LayerAperture[3], "");
  EXPECT_EQ(job.boards[0].LayerAperture[0], "");
  EXPECT_EQ(job.panel.aperture[3], longName);
  // A name a job file cannot hold whole is refused, and nothing changes.
  EXPECT_THROW(attachApertureFile(job, longName + "x"), FormatError);
  EXPECT_EQ(job.boards[0].LayerAperture[3], longName);

  attachApertureFile(job, "");  // no case of the import applied: the entry is cleared
  EXPECT_EQ(job.boards[0].LayerAperture[3], "");
  EXPECT_EQ(job.panel.aperture[3], "");

  job.storedActiveLayer = 0;  // no layer chosen counts as layer 1
  attachApertureFile(job, "b.Env");
  EXPECT_EQ(job.boards[2].LayerAperture[0], "b.Env");
}

}  // namespace
}  // namespace drumplot
