// SPDX-License-Identifier: MIT
// A small JSON text builder for the commands' --json output.
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace drumplot {

// A text as a JSON string in UTF-8. File names are bytes: the bytes of a
// text that are not UTF-8 each become U+FFFD (jsonName keeps them beside).
std::string jsonString(std::string_view text);
// Shortest text that reads back as the same double; non-finite values as null.
std::string jsonNumber(double value);

bool isUtf8(std::string_view text);
// `"key":"name"`, and for a name that is not UTF-8 also `,"key_raw":"..."`:
// its bytes percent-encoded (%XX for the space, % and every byte outside
// printable ASCII), so that it still names its file.
std::string jsonName(std::string_view key, std::string_view name);
// The same for a list of names: `"key_raw"` lists every name percent-encoded
// when one of them is not UTF-8.
std::string jsonNames(std::string_view key, std::span<const std::string> names);

// What a --json command prints on stdout when it fails:
// {"error":{"message":...,"file":...,"line":...,"record":...}}, each of file,
// line (a text file's line) and record (a job file's board record) null when
// unknown.
std::string jsonError(std::string_view message, std::string_view file,
                      std::optional<size_t> line = std::nullopt,
                      std::optional<size_t> record = std::nullopt);

// jsonError for a command that could not read its job file `jobFile`: the
// record of a job file its reader refuses, and the job file when the message
// names it.
std::string jsonJobError(const std::exception& error, const std::string& jobFile);

}  // namespace drumplot
