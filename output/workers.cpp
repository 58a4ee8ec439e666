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

void runWorkers(unsigned workers, const std::function<void(unsigned worker)>& work) {
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(workers > 0 ? workers - 1 : 0);
    for (unsigned w = 1; w < workers; ++w) helpers.emplace_back(work, w);
  } catch (...) {
    // No further thread: those started and this one do the work.
  }
  work(0);
  for (std::thread& t : helpers) t.join();
}

}  // namespace drumplot
