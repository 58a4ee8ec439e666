// SPDX-License-Identifier: MIT
// Workers that make pieces of an image out of order and write them in order.
#include "output/band_scheduler.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace drumplot {

// The turn: the piece whose bytes go out now. The worker holding it never
// waits, so the lowest unfinished piece always moves on.
struct ChunkTurns {
  ChunkTurns(const WriteBytes& w, const ChunkDone& d) : write(w), done(d) {}

  const WriteBytes& write;
  const ChunkDone& done;
  std::mutex mutex;
  std::condition_variable changed;
  size_t turn = 0;
  bool stopped = false;  // a worker failed, or the run was cancelled
  std::atomic<bool> halted{false};  // `stopped`, readable without the lock
  std::exception_ptr error;
};

namespace {

// Thrown into a waiting worker when the run stops.
struct Stopped {};

}  // namespace

// ChunkSink
// ============================================================================

ChunkSink::ChunkSink(ChunkTurns& turns, size_t chunk, size_t flushBytes)
    : turns_(turns), chunk_(chunk), flushBytes_(flushBytes) {}

void ChunkSink::waitTurn() {
  if (ourTurn_) return;
  std::unique_lock lock(turns_.mutex);
  turns_.changed.wait(lock, [&] { return turns_.turn == chunk_ || turns_.stopped; });
  if (turns_.stopped) throw Stopped{};
  ourTurn_ = true;
}

void ChunkSink::flush() {
  waitTurn();
  if (!buffer_.empty()) turns_.write(buffer_);
  buffer_.clear();
}

void ChunkSink::write(std::span<const uint8_t> bytes) {
  flush();
  if (!bytes.empty()) turns_.write(bytes);
}

void ChunkSink::finish() {
  flush();
  std::lock_guard lock(turns_.mutex);
  turns_.done(chunk_);
  turns_.turn = chunk_ + 1;
  turns_.changed.notify_all();
}

// Running the pieces
// ============================================================================

bool runChunksInOrder(size_t count, unsigned threads, size_t flushBytes, const ProduceChunk& produce,
                      const WriteBytes& write, const ChunkDone& done,
                      const std::atomic<bool>* cancelled) {
  ChunkTurns turns(write, done);
  std::atomic<size_t> next{0};
  auto stop = [&](std::exception_ptr error) {
    std::lock_guard lock(turns.mutex);
    if (error && !turns.error) turns.error = error;
    turns.stopped = true;
    turns.halted = true;
    turns.changed.notify_all();
  };
  auto work = [&](unsigned worker) {
    for (;;) {
      if (turns.halted) return;
      if (cancelled && cancelled->load()) {
        stop(nullptr);
        return;
      }
      const size_t k = next++;
      if (k >= count) return;
      try {
        ChunkSink sink(turns, k, flushBytes);
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
  threads = std::clamp<unsigned>(threads, 1, static_cast<unsigned>(std::max<size_t>(count, 1)));
  std::vector<std::thread> helpers;
  helpers.reserve(threads - 1);
  try {
    for (unsigned w = 1; w < threads; ++w) helpers.emplace_back(work, w);
  } catch (...) {
    stop(std::current_exception());  // no thread: the workers already running stop
  }
  work(0);
  for (std::thread& t : helpers) t.join();
  if (turns.error) std::rethrow_exception(turns.error);
  return !turns.stopped;
}

}  // namespace drumplot
