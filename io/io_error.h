// SPDX-License-Identifier: MIT
// IoError: a file could not be opened, read or written. Caught once, at the
// command boundary (CLI, GUI), like every error that ends a command.
#pragma once

#include <stdexcept>

namespace drumplot {

class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace drumplot
