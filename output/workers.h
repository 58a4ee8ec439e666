// SPDX-License-Identifier: MIT
// The export's workers: every piece of work that runs on several threads
// starts and joins them here.
#pragma once

#include <cstddef>
#include <functional>

namespace drumplot {

// The number of workers for `asked` (0: one per processor), at least one.
unsigned workerCount(unsigned asked);

// Runs work(0) on the calling thread and work(1) .. work(w - 1) on threads
// of their own, w being `workers` but at least 1 and at most `items` (the
// pieces of work to share), and returns when every one has returned. A
// thread that cannot be started is left out, so `work` must take its share
// from what is left rather than count on every worker running. `work` must
// not throw.
void runWorkers(unsigned workers, size_t items, const std::function<void(unsigned worker)>& work);

}  // namespace drumplot
