// SPDX-License-Identifier: MIT
#include "output/workers.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace drumplot {

namespace {

// Set on the pool's own threads: work they run that asks for workers gets
// threads of its own, since the pool's are busy with it.
thread_local bool onPoolThread = false;

// Work on threads started for it alone, joined at the end.
void runOnNewThreads(unsigned workers, const std::function<void(unsigned worker)>& work) {
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

unsigned clampWorkers(unsigned workers, size_t items) {
  return std::clamp<unsigned>(workers, 1, static_cast<unsigned>(std::max<size_t>(items, 1)));
}

}  // namespace

unsigned workerCount(unsigned asked) {
  if (asked == 0) asked = std::thread::hardware_concurrency();
  return std::max(asked, 1u);
}

struct WorkerPool::Shared {
  std::mutex mutex;
  std::condition_variable wake;  // a run was handed over, or the pool stops
  std::condition_variable done;  // the last thread of a run returned
  uint64_t run = 0;              // counts the runs handed over
  const std::function<void(unsigned)>* work = nullptr;
  unsigned wanted = 0;   // workers of the current run, the caller included
  unsigned running = 0;  // the pool's threads still in it
  bool busy = false;     // a run is being handed over or waited for
  bool stop = false;
};

WorkerPool::WorkerPool(unsigned asked) : shared_(std::make_unique<Shared>()) {
  const unsigned workers = workerCount(asked);
  try {
    threads_.reserve(workers - 1);
    for (unsigned w = 1; w < workers; ++w) threads_.emplace_back(&WorkerPool::serve, this, w);
  } catch (...) {
    // Fewer threads: the pool runs with those it has.
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
  }
  shared_->wake.notify_all();
  for (std::thread& t : threads_) t.join();
}

unsigned WorkerPool::workers() const {
  return static_cast<unsigned>(threads_.size()) + 1;
}

void WorkerPool::serve(unsigned worker) {
  onPoolThread = true;
  Shared& s = *shared_;
  uint64_t seen = 0;
  std::unique_lock lock(s.mutex);
  for (;;) {
    s.wake.wait(lock, [&] { return s.stop || s.run != seen; });
    if (s.stop) return;
    seen = s.run;
    if (worker >= s.wanted) continue;
    const std::function<void(unsigned)>& work = *s.work;
    lock.unlock();
    work(worker);
    lock.lock();
    if (--s.running == 0) s.done.notify_all();
  }
}

void WorkerPool::run(unsigned workers, size_t items,
                     const std::function<void(unsigned worker)>& work) {
  const unsigned w = std::min(clampWorkers(workers, items), this->workers());
  Shared& s = *shared_;
  bool handedOver = false;
  {
    std::lock_guard lock(s.mutex);
    if (!s.busy && !onPoolThread) {
      s.busy = true;
      s.work = &work;
      s.wanted = w;
      s.running = w - 1;
      ++s.run;
      handedOver = true;
    }
  }
  if (!handedOver) {
    runOnNewThreads(clampWorkers(workers, items), work);
    return;
  }
  s.wake.notify_all();
  work(0);
  std::unique_lock lock(s.mutex);
  s.done.wait(lock, [&] { return s.running == 0; });
  s.work = nullptr;
  s.busy = false;
}

void runWorkers(WorkerPool* pool, unsigned workers, size_t items,
                const std::function<void(unsigned worker)>& work) {
  if (pool) {
    pool->run(workers, items, work);
  } else {
    runOnNewThreads(clampWorkers(workers, items), work);
  }
}

}  // namespace drumplot
