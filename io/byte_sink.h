// SPDX-License-Identifier: MIT
// ByteSink: where a writer's bytes go (a file being replaced, a buffer in
// memory), written in order, with places already written filled in later.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "io/io_error.h"

namespace drumplot {

// Writes may come from several threads; they take turns. A sink whose
// write failed stays failed: every later write(), writeAt() (and a file's
// commit) throws the first failure's IoError again and leaves the bytes as
// they are, so that nothing is added after a gap and a broken file is
// never completed.
class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Appends `bytes`.
  void write(std::span<const uint8_t> bytes);
  // Overwrites bytes already written, from `offset` on; leaves
  // bytesWritten() as it is.
  void writeAt(uint64_t offset, std::span<const uint8_t> bytes);

  virtual uint64_t bytesWritten() const = 0;
  // What the bytes are for, as messages name it.
  virtual const std::filesystem::path& name() const = 0;

 protected:
  // Throws the failure a write latched, if any.
  void refuseAfterFailure() const;

 private:
  // Both throw IoError naming the sink.
  virtual void append(std::span<const uint8_t> bytes) = 0;
  virtual void overwrite(uint64_t offset, std::span<const uint8_t> bytes) = 0;

  template <typename Write>
  void latching(Write&& write);

  mutable std::mutex mutex_;  // one write at a time, and the failure
  std::optional<IoError> failure_;
};

// The bytes in memory, in a vector the caller owns (and may reuse);
// bytesWritten() is for the thread that appends.
class MemorySink final : public ByteSink {
 public:
  MemorySink(std::vector<uint8_t>& bytes, std::filesystem::path name)
      : bytes_(bytes), name_(std::move(name)) {}

  uint64_t bytesWritten() const override { return bytes_.size(); }
  const std::filesystem::path& name() const override { return name_; }

 private:
  void append(std::span<const uint8_t> bytes) override;
  void overwrite(uint64_t offset, std::span<const uint8_t> bytes) override;

  std::vector<uint8_t>& bytes_;
  std::filesystem::path name_;
};

}  // namespace drumplot
