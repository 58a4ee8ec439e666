// SPDX-License-Identifier: MIT
// The latched failure of every sink, and the sink in memory.
#include "io/byte_sink.h"

#include <algorithm>

namespace drumplot {

// ByteSink - Latched failure
// ============================================================================

void ByteSink::refuseAfterFailure() const {
  std::lock_guard lock(mutex_);
  if (failure_) throw *failure_;
}

template <typename Write>
void ByteSink::latching(Write&& write) {
  std::lock_guard lock(mutex_);
  if (failure_) throw *failure_;
  try {
    write();
  } catch (const IoError& error) {
    failure_ = error;
    throw;
  }
}

void ByteSink::write(std::span<const uint8_t> bytes) {
  latching([&] { append(bytes); });
}

void ByteSink::writeAt(uint64_t offset, std::span<const uint8_t> bytes) {
  latching([&] { overwrite(offset, bytes); });
}

// MemorySink
// ============================================================================

void MemorySink::append(std::span<const uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void MemorySink::overwrite(uint64_t offset, std::span<const uint8_t> bytes) {
  if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset) {
    throw IoError(name_.string() + ": write error: past the bytes written");
  }
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<ptrdiff_t>(offset));
}

}  // namespace drumplot
