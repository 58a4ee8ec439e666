// SPDX-License-Identifier: MIT
// A small JSON text builder for the commands' --json output.
#pragma once

#include <string>
#include <string_view>

namespace drumplot {

std::string jsonString(std::string_view text);
// Shortest text that reads back as the same double; non-finite values as null.
std::string jsonNumber(double value);

}  // namespace drumplot
