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

// Where one piece puts its bytes. Bytes gathered in buffer() go out when
// the piece is done, or earlier through flushIfFull() and write(), which
// first wait until every earlier piece has been written.
class ChunkSink {
 public:
  ChunkSink(ChunkTurns& turns, size_t chunk, size_t flushBytes);

  std::vector<uint8_t>& buffer() { return buffer_; }
  // Writes the buffer once it holds flushBytes or more.
  void flushIfFull() {
    if (buffer_.size() >= flushBytes_) flush();
  }
  // Writes the buffer, then `bytes`, without copying them.
  void write(std::span<const uint8_t> bytes);
  // Writes what is left and hands the turn to the next piece.
  void finish();

 private:
  void flush();
  void waitTurn();

  ChunkTurns& turns_;
  size_t chunk_;
  size_t flushBytes_;
  bool ourTurn_ = false;
  std::vector<uint8_t> buffer_;
};

using ProduceChunk = std::function<void(size_t chunk, unsigned worker, ChunkSink& sink)>;
using WriteBytes = std::function<void(std::span<const uint8_t> bytes)>;
using ChunkDone = std::function<void(size_t chunk)>;

// Runs produce(k, worker, sink) for pieces k = 0 .. count - 1 on `threads`
// workers (worker numbers 0 .. threads - 1; the calling thread is worker 0),
// each piece taken in order by the next free worker. Every byte of piece k
// reaches `write` after every byte of the pieces before it, and done(k) is
// called right after piece k's last bytes, one call at a time. Returns false
// when `cancelled` became true (nothing more is written); rethrows the first
// exception of any call after stopping every worker.
bool runChunksInOrder(size_t count, unsigned threads, size_t flushBytes, const ProduceChunk& produce,
                      const WriteBytes& write, const ChunkDone& done,
                      const std::atomic<bool>* cancelled);

}  // namespace drumplot
