// SPDX-License-Identifier: MIT
// Errors that end a command: caught once, at the command boundary (CLI, GUI).
#pragma once

#include <stdexcept>
#include <string>

#include "io/io_error.h"

namespace drumplot {

// The content of a file breaks a rule that ends the command (a strict
// number conversion that fails, a size that cannot be represented).
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace drumplot
