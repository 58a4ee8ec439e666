// SPDX-License-Identifier: MIT
// The INI reader and writer behind the settings file.
#include "job/ini_document.h"

#include <system_error>

#include "engine/errors.h"
#include "io/file_io.h"

namespace drumplot {

// IniDocument - Line rules
// ============================================================================

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// "[name]" -> name; other lines -> nothing.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trim(line.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return std::nullopt;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::string_view value = trim(t.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return KeyLine{trim(t.substr(0, eq)), value};
}

}  // namespace

// IniDocument - Reading
// ============================================================================

IniDocument IniDocument::parse(std::string_view text) {
  IniDocument doc;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      if (doc.lines_.empty()) doc.crlf_ = true;
    }
    doc.lines_.emplace_back(line);
    start = end + 1;
  }
  return doc;
}

IniDocument IniDocument::load(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec) && !ec) return {};
  return parse(readFileBytes(file));
}

std::optional<IniDocument::Location> IniDocument::findSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto name = sectionName(lines_[i]);
    if (!name || !equalNoCase(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !sectionName(lines_[end])) ++end;
    return Location{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::findKey(const Location& where, std::string_view key) const {
  for (size_t i = where.sectionLine + 1; i < where.endLine; ++i) {
    auto entry = keyLine(lines_[i]);
    if (entry && equalNoCase(entry->key, key)) return i;
  }
  return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> IniDocument::entries(
    std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> found;
  auto where = findSection(section);
  for (size_t i = where ? where->sectionLine + 1 : 0; where && i < where->endLine; ++i) {
    if (auto entry = keyLine(lines_[i])) found.emplace_back(entry->key, entry->value);
  }
  return found;
}

std::vector<IniLine> IniDocument::lines() const {
  std::vector<IniLine> found;
  std::string section;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string_view text = trim(lines_[i]);
    if (text.empty() || text.front() == ';' || text.front() == '#') continue;
    IniLine line{i + 1, section, false, std::nullopt, "", std::string(text)};
    if (auto name = sectionName(text)) {
      section = *name;
      line.section = section;
      line.opensSection = true;
    } else if (auto entry = keyLine(text)) {
      line.key = std::string(entry->key);
      line.value = std::string(entry->value);
    }
    found.push_back(std::move(line));
  }
  return found;
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
  auto where = findSection(section);
  if (!where) return std::nullopt;
  auto line = findKey(*where, key);
  if (!line) return std::nullopt;
  return std::string(keyLine(lines_[*line])->value);
}

// IniDocument - Writing
// ============================================================================

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=";
  for (char c : value) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
  auto where = findSection(section);
  if (!where) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(line);
    return;
  }
  if (auto existing = findKey(*where, key)) {
    lines_[*existing] = line;
    return;
  }
  // After the section's last non-blank line, so blank separators stay below it.
  size_t at = where->endLine;
  while (at > where->sectionLine + 1 && trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
}

std::string IniDocument::text() const {
  std::string out;
  const char* end = crlf_ ? "\r\n" : "\n";
  for (const std::string& line : lines_) out += line + end;
  return out;
}

void IniDocument::save(const std::filesystem::path& file) const {
  if (file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) throw IoError(file.string() + ": cannot create the folder: " + ec.message());
  }
  writeFileAtomically(file, text());
}

}  // namespace drumplot
