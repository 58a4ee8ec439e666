// SPDX-License-Identifier: MIT
// Attaching an aperture file to the active layer of the selected boards.
#include "job/aperture_attachment.h"

#include <gtest/gtest.h>

#include <string>

namespace drumplot {
namespace {

TEST(ApertureAttachmentTest, GoesToTheActiveLayerOfSelectedBoardsCutTo250Characters) {
  Job job;
  job.Boards.resize(3);
  job.Boards[0].Selected = true;
  job.Boards[2].Selected = true;
  job.ActiveLayer = 4;
  std::string longName = "/apertures/" + std::string(300, 'a') + ".Env";
  attachApertureFile(job, longName);
  EXPECT_EQ(job.Boards[0].LayerAperture[3], longName.substr(0, 250));
  EXPECT_EQ(job.Boards[2].LayerAperture[3], longName.substr(0, 250));
  EXPECT_EQ(job.Boards[1].LayerAperture[3], "");
  EXPECT_EQ(job.Boards[0].LayerAperture[0], "");
  EXPECT_EQ(job.Panel.Aperture[3], longName);  // the cell shows the whole name

  attachApertureFile(job, "");  // no case of the import applied: the entry is cleared
  EXPECT_EQ(job.Boards[0].LayerAperture[3], "");
  EXPECT_EQ(job.Panel.Aperture[3], "");

  job.ActiveLayer = 0;  // no layer chosen counts as layer 1
  attachApertureFile(job, "b.Env");
  EXPECT_EQ(job.Boards[2].LayerAperture[0], "b.Env");
}

}  // namespace
}  // namespace drumplot
