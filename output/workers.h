// SPDX-License-Identifier: MIT
// The export's workers: a pool of threads started once for an export (or
// for the window's life) that every piece of work running on several
// threads is handed to.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace drumplot {

// The number of workers for `asked` (0: one per processor), at least one.
unsigned workerCount(unsigned asked);

// Threads started once and given one piece of work after another. The
// thread that hands the work over is worker 0; the pool's threads are
// workers 1 and up.
class WorkerPool {
 public:
  // workerCount(asked) workers: that many less one threads are started (a
  // thread that cannot be started is left out).
  explicit WorkerPool(unsigned asked);
  ~WorkerPool();  // stops and joins the threads
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The workers it can run: its threads and the caller.
  unsigned workers() const;
  // Runs work(0) on the calling thread and work(1) .. work(w - 1) on the
  // pool's threads, w being `workers` but at least 1 and at most `items`
  // and workers(), and returns when every one has returned. `work` must
  // take its share from what is left rather than count on every worker
  // running, and must not throw. A run handed over while another runs (or
  // from one of the pool's own threads) gets threads of its own instead.
  void run(unsigned workers, size_t items, const std::function<void(unsigned worker)>& work);

 private:
  struct Shared;
  void serve(unsigned worker);
  std::unique_ptr<Shared> shared_;
  std::vector<std::thread> threads_;
};

// Runs `work` as WorkerPool::run does: on `pool`, or on threads started
// for this call alone when there is none.
void runWorkers(WorkerPool* pool, unsigned workers, size_t items,
                const std::function<void(unsigned worker)>& work);

}  // namespace drumplot
