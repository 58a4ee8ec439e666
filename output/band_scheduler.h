// SPDX-License-Identifier: MIT
// Band scheduling: pieces of an image made on worker threads, each into its
// own buffer, and their bytes written strictly in piece order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace drumplot {

struct ChunkTurns;

// Where one piece puts its bytes. A piece keeps its bytes until it is done
// and hands them over; whichever worker finds the next piece in file order
// done writes it, so no worker waits for an earlier piece. Only a piece
// whose bytes outgrow the hold limit waits for its turn and then writes
// as it goes.
class ChunkSink {
 public:
  ChunkSink(ChunkTurns& turns, size_t chunk);

  std::vector<uint8_t>& buffer() { return buffer_; }
  // Writes the buffer out (after waiting for the turn) once it holds more
  // than the hold limit.
  void flushIfFull();
  // Adds `bytes` after the buffer: copied while they fit the hold limit,
  // else written after waiting for the turn.
  void write(std::span<const uint8_t> bytes);
  // Hands the piece over; it is written in its turn.
  void finish();

 private:
  void becomeWriter();

  ChunkTurns& turns_;
  size_t chunk_;
  bool writer_ = false;
  std::vector<uint8_t> buffer_;
};

using ProduceChunk = std::function<void(size_t chunk, unsigned worker, ChunkSink& sink)>;
using WriteBytes = std::function<void(std::span<const uint8_t> bytes)>;
using ChunkDone = std::function<void(size_t chunk)>;

class WorkerPool;

struct ChunkLimits {
  unsigned threads = 1;
  size_t holdBytes = size_t{1} << 20;  // bytes a piece may keep before its turn
  size_t maxAhead = 2;                 // pieces begun past the next one to write
  WorkerPool* pool = nullptr;          // runs the workers; none: threads started for the run
};

// Runs produce(k, worker, sink) for pieces k = 0 .. count - 1 on
// limits.threads workers (worker numbers 0 .. threads - 1; the calling
// thread is worker 0), each piece taken in order by the next free worker,
// at most maxAhead pieces past the first unwritten one. Every byte of piece
// k reaches `write` after every byte of the pieces before it, and done(k)
// is called right after piece k's last bytes, in order, one call at a time.
// Held bytes stay below (maxAhead + threads) x holdBytes. Returns false
// when `cancelled` became true (nothing more is begun); rethrows the first
// exception of any call after stopping every worker.
// `aside`, when given, runs once on worker 0 before it takes a piece, beside
// the pieces the other workers make; an exception from it stops the run too.
bool runChunksInOrder(size_t count, const ChunkLimits& limits, const ProduceChunk& produce,
                      const WriteBytes& write, const ChunkDone& done,
                      const std::atomic<bool>* cancelled, const std::function<void()>& aside = {});

}  // namespace drumplot
