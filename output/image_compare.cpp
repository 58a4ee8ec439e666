// SPDX-License-Identifier: MIT
#include "output/image_compare.h"

#include <algorithm>
#include <vector>

namespace drumplot {

ImageDifference compareImages(const MonoImage& render, const MonoImage& reference, int64_t shiftX,
                              int64_t shiftY, int radius, MonoImage* residualMap) {
  // The union of both frames, in reference coordinates.
  int64_t left = std::min<int64_t>(0, shiftX);
  int64_t top = std::min<int64_t>(0, shiftY);
  int64_t right = std::max<int64_t>(reference.width, shiftX + render.width);
  int64_t bottom = std::max<int64_t>(reference.height, shiftY + render.height);
  auto w = static_cast<size_t>(right - left);
  auto h = static_cast<size_t>(bottom - top);

  auto exposedIn = [](const MonoImage& image, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < image.width && y < image.height &&
           image.exposed(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
  };
  ImageDifference result;
  std::vector<uint8_t> xorMap(w * h, 0);
  for (size_t j = 0; j < h; ++j) {
    int64_t ry = static_cast<int64_t>(j) + top;
    for (size_t i = 0; i < w; ++i) {
      int64_t rx = static_cast<int64_t>(i) + left;
      bool a = exposedIn(reference, rx, ry);
      bool b = exposedIn(render, rx - shiftX, ry - shiftY);
      if (a != b) {
        xorMap[j * w + i] = 1;
        ++result.differing;
      }
    }
  }
  // Erosion by a disk: a pixel survives when every pixel within `radius` differs too.
  std::vector<std::pair<int, int>> disk;
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (dx * dx + dy * dy <= radius * radius) disk.emplace_back(dx, dy);
  if (residualMap) *residualMap = MonoImage(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
  for (size_t j = 0; j < h; ++j) {
    for (size_t i = 0; i < w; ++i) {
      if (!xorMap[j * w + i]) continue;
      bool survives = std::all_of(disk.begin(), disk.end(), [&](auto d) {
        int64_t x = static_cast<int64_t>(i) + d.first;
        int64_t y = static_cast<int64_t>(j) + d.second;
        return x >= 0 && y >= 0 && x < static_cast<int64_t>(w) && y < static_cast<int64_t>(h) &&
               xorMap[static_cast<size_t>(y) * w + static_cast<size_t>(x)];
      });
      if (!survives) continue;
      ++result.residual;
      if (residualMap)
        residualMap->setExposed(static_cast<uint32_t>(i), static_cast<uint32_t>(j), true);
    }
  }
  return result;
}

}  // namespace drumplot
