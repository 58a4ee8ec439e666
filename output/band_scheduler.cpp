// SPDX-License-Identifier: MIT
// Workers that make pieces of an image out of order and write them in order.
#include "output/band_scheduler.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>

#include "output/workers.h"

namespace drumplot {

// The turn: `turn` is the first piece not yet written; one worker at a time
// writes (`writing`), and it is always piece `turn` that it writes.
struct ChunkTurns {
  ChunkTurns(const WriteBytes& w, const ChunkDone& d, const ChunkLimits& l)
      : write(w), done(d), limits(l) {}

  const WriteBytes& write;
  const ChunkDone& done;
  const ChunkLimits& limits;
  std::mutex mutex;
  std::condition_variable changed;
  size_t turn = 0;
  bool writing = false;
  std::map<size_t, std::vector<uint8_t>> finished;  // done, waiting for their turn
  bool stopped = false;                             // a worker failed, or the run was cancelled
  std::atomic<bool> halted{false};                  // `stopped`, readable without the lock
  std::exception_ptr error;

  // Writes the finished pieces whose turn has come; called with the lock.
  void drain(std::unique_lock<std::mutex>& lock) {
    while (!writing && !stopped) {
      auto next = finished.find(turn);
      if (next == finished.end()) break;
      std::vector<uint8_t> bytes = std::move(next->second);
      finished.erase(next);
      writing = true;
      lock.unlock();
      if (!bytes.empty()) write(bytes);
      done(turn);
      lock.lock();
      writing = false;
      ++turn;
    }
    changed.notify_all();
  }
};

namespace {

// Thrown into a waiting worker when the run stops.
struct Stopped {};

}  // namespace

// ChunkSink
// ============================================================================

ChunkSink::ChunkSink(ChunkTurns& turns, size_t chunk) : turns_(turns), chunk_(chunk) {}

void ChunkSink::becomeWriter() {
  if (writer_) return;
  std::unique_lock lock(turns_.mutex);
  turns_.changed.wait(lock,
                      [&] { return (turns_.turn == chunk_ && !turns_.writing) || turns_.stopped; });
  if (turns_.stopped) throw Stopped{};
  turns_.writing = true;
  writer_ = true;
}

void ChunkSink::flushIfFull() {
  if (!writer_ && buffer_.size() <= turns_.limits.holdBytes) return;
  becomeWriter();
  if (!buffer_.empty()) turns_.write(buffer_);
  buffer_.clear();
}

void ChunkSink::write(std::span<const uint8_t> bytes) {
  if (!writer_ && buffer_.size() + bytes.size() <= turns_.limits.holdBytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return;
  }
  becomeWriter();
  if (!buffer_.empty()) turns_.write(buffer_);
  buffer_.clear();
  if (!bytes.empty()) turns_.write(bytes);
}

void ChunkSink::finish() {
  if (writer_) {
    if (!buffer_.empty()) turns_.write(buffer_);
    turns_.done(chunk_);
    std::unique_lock lock(turns_.mutex);
    turns_.writing = false;
    ++turns_.turn;
    turns_.drain(lock);
    return;
  }
  std::unique_lock lock(turns_.mutex);
  turns_.finished[chunk_] = std::move(buffer_);
  turns_.drain(lock);
}

// Running the pieces
// ============================================================================

bool runChunksInOrder(size_t count, const ChunkLimits& limits, const ProduceChunk& produce,
                      const WriteBytes& write, const ChunkDone& done,
                      const std::atomic<bool>* cancelled, const std::function<void()>& aside) {
  ChunkTurns turns(write, done, limits);
  std::atomic<size_t> next{0};
  auto stop = [&](std::exception_ptr error) {
    std::lock_guard lock(turns.mutex);
    if (error && !turns.error) turns.error = error;
    turns.stopped = true;
    turns.halted = true;
    turns.changed.notify_all();
  };
  const size_t ahead = std::max<size_t>(limits.maxAhead, 1);
  auto work = [&](unsigned worker) {
    if (worker == 0 && aside && !(cancelled && cancelled->load())) {
      try {
        aside();
      } catch (...) {
        stop(std::current_exception());
        return;
      }
    }
    for (;;) {
      if (turns.halted) return;
      if (cancelled && cancelled->load()) {
        stop(nullptr);
        return;
      }
      const size_t k = next++;
      if (k >= count) return;
      try {
        {
          // Not too far ahead of the writing.
          std::unique_lock lock(turns.mutex);
          turns.changed.wait(lock, [&] { return k < turns.turn + ahead || turns.stopped; });
          if (turns.stopped) return;
        }
        ChunkSink sink(turns, k);
        produce(k, worker, sink);
        sink.finish();
      } catch (const Stopped&) {
        return;
      } catch (...) {
        stop(std::current_exception());
        return;
      }
    }
  };
  runWorkers(limits.pool, limits.threads, count, work);
  if (turns.error) std::rethrow_exception(turns.error);
  return !turns.stopped;
}

}  // namespace drumplot
