// SPDX-License-Identifier: MIT
// IniDocument: an INI file kept line by line, so that writing some keys
// leaves everything else (unknown keys, comments, order) as it was.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace drumplot {

// A line that says something: a section line or a "key=value" line, with
// its number (from 1), for readers that refuse what they do not know.
struct IniLine {
  size_t number = 0;
  std::string section;  // the section it opens or lies in; empty before the first
  bool opensSection = false;
  std::optional<std::string> key;  // none: a line that is no section, key or comment
  std::string value;
  std::string text;  // as written, blanks around it dropped
};

// Rules, as the classic profile functions have them:
// - "[Section]" lines open a section; "key=value" lines belong to the last one;
//   lines starting with ";" or "#", lines without "=", and keys before the
//   first section are kept but never match.
// - Section and key names match without regard to ASCII case; blanks (space,
//   tab, carriage return) around names and values are dropped; a value wrapped
//   in matching double or single quotes loses them. The first matching section
//   and key win.
class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument parse(std::string_view text);
  // An absent file is an empty document; one that exists but cannot be read
  // throws IoError naming it.
  static IniDocument load(const std::filesystem::path& file);

  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  // Every "key=value" line of the section, in file order.
  std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;
  // Every line but blank and comment lines, in file order.
  std::vector<IniLine> lines() const;
  // Replaces the key's line, or adds it at the end of its section (adding the
  // section at the end of the file when it is missing). Line breaks in the
  // value become spaces: a value is one line.
  void set(std::string_view section, std::string_view key, std::string_view value);

  std::string text() const;
  // Writes through a temporary file, creating the folder when needed.
  void save(const std::filesystem::path& file) const;

 private:
  struct Location {
    size_t sectionLine;  // the "[Section]" line
    size_t endLine;      // one past the section's last line
  };
  std::optional<Location> findSection(std::string_view section) const;
  std::optional<size_t> findKey(const Location& where, std::string_view key) const;

  std::vector<std::string> lines_;  // without line ends
  bool crlf_ = false;               // the file's line end: "\r\n" or "\n"
};

}  // namespace drumplot
