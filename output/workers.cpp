// SPDX-License-Identifier: MIT
#include "output/workers.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace drumplot {

unsigned workerCount(unsigned asked) {
  if (asked == 0) asked = std::thread::hardware_concurrency();
  return std::max(asked, 1u);
}

void runWorkers(unsigned workers, size_t items, const std::function<void(unsigned worker)>& work) {
  workers = std::clamp<unsigned>(workers, 1, static_cast<unsigned>(std::max<size_t>(items, 1)));
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(workers - 1);
    for (unsigned w = 1; w < workers; ++w) helpers.emplace_back(work, w);
  } catch (...) {
    // No further thread: those started and this one do the work.
  }
  work(0);
  for (std::thread& t : helpers) t.join();
}

}  // namespace drumplot
