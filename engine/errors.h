// SPDX-License-Identifier: MIT
// Errors that end a command: caught once, at the command boundary (CLI, GUI).
#pragma once

#include <stdexcept>
#include <string>

namespace drumplot {

// A file could not be opened, read or written.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The content of a file breaks a rule that ends the command (a strict
// number conversion that fails, a size that cannot be represented).
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace drumplot
