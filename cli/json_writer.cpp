// SPDX-License-Identifier: MIT
#include "cli/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "job/job_file.h"

namespace drumplot {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isContinuation(std::string_view text, size_t i) {
  return i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at `i` (no overlong forms, no
// surrogates, nothing past U+10FFFF), or 0 when the byte there starts none.
size_t sequenceLength(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0) return 0;
  for (size_t k = 1; k < length; ++k) {
    if (!isContinuation(text, i + k)) return 0;
  }
  // The second byte's range for the leads whose range is narrower.
  const auto second = static_cast<unsigned char>(text[i + 1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
}

std::string percentEncoded(std::string_view name) {
  std::string out;
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (c > 0x20 && c < 0x7F && c != '%') {
      out.push_back(ch);
    } else {
      out += {'%', kHex[c >> 4], kHex[c & 0xF]};
    }
  }
  return out;
}

}  // namespace

bool isUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t length = sequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const size_t length = sequenceLength(text, i);
    const auto c = static_cast<unsigned char>(text[i]);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no UTF-8 character
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += {'\\', static_cast<char>(c)};
    } else if (c < 0x20 || c == 0x7F) {
      out += {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out + "\"";
}

std::string jsonName(std::string_view key, std::string_view name) {
  std::string out = jsonString(key) + ":" + jsonString(name);
  if (!isUtf8(name)) {
    out += "," + jsonString(std::string(key) + "_raw") + ":" + jsonString(percentEncoded(name));
  }
  return out;
}

std::string jsonNames(std::string_view key, std::span<const std::string> names) {
  std::string list, raw;
  bool allUtf8 = true;
  for (size_t n = 0; n < names.size(); ++n) {
    list += (n ? "," : "") + jsonString(names[n]);
    raw += (n ? "," : "") + jsonString(percentEncoded(names[n]));
    allUtf8 = allUtf8 && isUtf8(names[n]);
  }
  std::string out = jsonString(key) + ":[" + list + "]";
  if (!allUtf8) out += "," + jsonString(std::string(key) + "_raw") + ":[" + raw + "]";
  return out;
}

std::string jsonError(std::string_view message, std::string_view file, std::optional<size_t> line,
                      std::optional<size_t> record) {
  auto count = [](std::optional<size_t> n) { return n ? std::to_string(*n) : "null"; };
  return "{\"error\":{\"message\":" + jsonString(message) + "," +
         (file.empty() ? "\"file\":null" : jsonName("file", file)) + ",\"line\":" + count(line) +
         ",\"record\":" + count(record) + "}}\n";
}

std::string jsonJobError(const std::exception& error, const std::string& jobFile) {
  if (const auto* e = dynamic_cast<const JobFileError*>(&error)) {
    return jsonError(e->what(), e->file, std::nullopt,
                     e->record ? std::optional(e->record) : std::nullopt);
  }
  const std::string_view message = error.what();
  const bool namesJob = message.starts_with(jobFile + ":");
  return jsonError(message, namesJob ? std::string_view(jobFile) : std::string_view());
}

std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : "null";
}

}  // namespace drumplot
