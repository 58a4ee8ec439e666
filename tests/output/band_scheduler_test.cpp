// SPDX-License-Identifier: MIT
// Band scheduling: pieces made on several threads come out in order; a
// failure or a cancel stops every worker.
#include "output/band_scheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

#include "output/workers.h"

namespace drumplot {
namespace {

const std::thread::id mainThread = std::this_thread::get_id();

// Piece k writes k in three parts, with pauses, flushing a small buffer.
void produceNumbered(size_t k, unsigned, ChunkSink& sink) {
  std::mt19937 random(static_cast<uint32_t>(k));
  for (int part = 0; part < 3; ++part) {
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    sink.buffer().push_back(static_cast<uint8_t>(k));
    sink.flushIfFull();
  }
  const uint8_t direct[1] = {static_cast<uint8_t>(k)};
  sink.write(direct);
}

TEST(BandSchedulerTest, FailureAndCancelStopEveryWorker) {
  std::vector<uint8_t> out;
  auto write = [&](std::span<const uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); };
  auto failing = [](size_t k, unsigned w, ChunkSink& sink) {
    if (k == 37) throw std::runtime_error("piece 37");
    produceNumbered(k, w, sink);
  };
  EXPECT_THROW(runChunksInOrder(
                   120, {4, 2, 8}, failing, write, [](size_t) {}, nullptr),
               std::runtime_error);
  // Pieces in order, nothing from the failed piece or after it.
  EXPECT_LE(out.size(), 37u * 4);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i / 4);

  out.clear();
  std::atomic<bool> cancelled{false};
  bool finished = runChunksInOrder(
      120, {3, 2, 6}, produceNumbered, write,
      [&](size_t k) {
        if (k == 20) cancelled = true;
      },
      &cancelled);
  EXPECT_FALSE(finished);
  ASSERT_GE(out.size(), 21u * 4);
  EXPECT_LT(out.size(), 120u * 4);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i / 4);
}

// Pieces come out in order, with or without a side task (the plotter
// file's previews), which runs once, on the calling thread, while the other
// workers go on with the pieces; its failure stops the run like a piece's.
TEST(BandSchedulerTest, PiecesComeOutInOrderBesideASideTask) {
  for (unsigned threads : {1u, 2u, 5u}) {
    for (bool withAside : {false, true}) {
      std::vector<uint8_t> out;
      std::vector<size_t> done;
      int runs = 0;
      std::atomic<size_t> piecesMeanwhile{0};
      std::atomic<bool> asideRunning{false};
      auto counting = [&](size_t k, unsigned w, ChunkSink& sink) {
        if (asideRunning) ++piecesMeanwhile;
        produceNumbered(k, w, sink);
      };
      std::function<void()> aside;
      if (withAside) {
        aside = [&] {
          asideRunning = true;
          ++runs;
          EXPECT_EQ(std::this_thread::get_id(), mainThread);
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
          asideRunning = false;
        };
      }
      ASSERT_TRUE(runChunksInOrder(
          120, {threads, 2, 2 * threads}, counting,
          [&](std::span<const uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); },
          [&](size_t k) { done.push_back(k); }, nullptr, aside));
      EXPECT_EQ(runs, withAside ? 1 : 0);
      ASSERT_EQ(out.size(), 480u);
      for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i / 4) << threads << " threads";
      for (size_t k = 0; k < done.size(); ++k) ASSERT_EQ(done[k], k);
      if (withAside && threads > 1) {
        EXPECT_GT(piecesMeanwhile.load(), 0u);
      }
    }
  }
  auto failing = [] { throw std::runtime_error("previews"); };
  EXPECT_THROW(runChunksInOrder(
                   60, {2, 2, 4}, produceNumbered, [](std::span<const uint8_t>) {}, [](size_t) {},
                   nullptr, failing),
               std::runtime_error);
}

// A pool's threads serve one run after another (groups of pieces, then the
// next film): no thread is started for a run; a run handed over from inside
// a run gets threads of its own and still finishes.
TEST(WorkerPoolTest, ThreadsStartOnceAndServeEveryRun) {
  WorkerPool pool(3);
  ASSERT_EQ(pool.workers(), 3u);
  // Runs served by the helper thread that served most: a thread started for
  // one run serves one.
  std::atomic<int> mostRuns{0};
  std::atomic<int> inner{0};
  for (int run = 0; run < 20; ++run) {
    ChunkLimits limits{3, 64, 6, &pool};
    std::vector<uint8_t> out;
    ASSERT_TRUE(runChunksInOrder(
        30, limits,
        [&](size_t k, unsigned w, ChunkSink& sink) {
          thread_local int lastRun = -1, runs = 0;
          if (std::this_thread::get_id() != mainThread && lastRun != run) {
            lastRun = run;
            mostRuns = std::max(mostRuns.load(), ++runs);
          }
          if (k == 0) pool.run(2, 2, [&](unsigned) { ++inner; });
          produceNumbered(k, w, sink);
        },
        [&](std::span<const uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); },
        [](size_t) {}, nullptr));
    ASSERT_EQ(out.size(), 120u);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i / 4);
  }
  EXPECT_GT(mostRuns, 1);
  EXPECT_EQ(inner, 40);
}

}  // namespace
}  // namespace drumplot
