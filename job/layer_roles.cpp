// SPDX-License-Identifier: MIT
// Layer roles from X2 attributes and file names, and the layer map.
#include "job/layer_roles.h"

#include <algorithm>
#include <vector>

#include "engine/errors.h"
#include "engine/text.h"

namespace drumplot {

namespace {

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::vector<std::string_view> splitFields(std::string_view text, char separator) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    size_t end = text.find(separator, start);
    fields.push_back(trimSpaces(text.substr(start, end - start)));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

// The number after `prefix` when the whole text is the prefix and digits.
std::optional<int> numberAfter(std::string_view text, std::string_view prefix) {
  if (!startsWith(text, prefix) || text.size() == prefix.size() ||
      text.size() > prefix.size() + 3) {
    return std::nullopt;
  }
  text.remove_prefix(prefix.size());
  if (!std::all_of(text.begin(), text.end(), isDigit)) return std::nullopt;
  return static_cast<int>(*parseInteger(text));
}

constexpr BoardRole role(LayerRole r) {
  return {r, 0};
}
constexpr BoardRole inner(int n) {
  return {LayerRole::InnerCopper, n};
}

// "Top" or "Bot" picks one of two roles.
std::optional<BoardRole> side(std::string_view field, LayerRole top, LayerRole bottom) {
  if (field == "Top") return role(top);
  if (field == "Bot") return role(bottom);
  return std::nullopt;
}

struct NameRow {
  const char* name;
  BoardRole role;
};

// A name of a table, matched whole.
std::optional<BoardRole> lookUp(std::string_view name, std::initializer_list<NameRow> table) {
  for (const NameRow& row : table) {
    if (name == row.name) return row.role;
  }
  return std::nullopt;
}

}  // namespace

// Layer roles - Names
// ============================================================================

namespace {

// Each role's name and settings key, in the order of LayerRole.
struct RoleText {
  const char* name;
  const char* key;
};
constexpr std::array<RoleText, 11> kRoleTexts = {{{"top copper", "TopCopper"},
                                                  {"bottom copper", "BottomCopper"},
                                                  {"inner copper ", "InnerCopper"},
                                                  {"top solder mask", "TopMask"},
                                                  {"bottom solder mask", "BottomMask"},
                                                  {"top silkscreen", "TopSilk"},
                                                  {"bottom silkscreen", "BottomSilk"},
                                                  {"top paste", "TopPaste"},
                                                  {"bottom paste", "BottomPaste"},
                                                  {"outline", "Outline"},
                                                  {"drill", "Drill"}}};

// The text, followed by the number of an inner copper layer.
std::string roleText(const BoardRole& r, const char* RoleText::*field) {
  std::string text = kRoleTexts.at(static_cast<size_t>(r.role)).*field;
  return r.role == LayerRole::InnerCopper ? text + std::to_string(r.inner) : text;
}

}  // namespace

std::string roleName(const BoardRole& r) {
  return roleText(r, &RoleText::name);
}

const char* toString(RoleSource source) {
  switch (source) {
    case RoleSource::FileFunction:
      return "X2 file function";
    case RoleSource::KiCadName:
      return "KiCad name";
    case RoleSource::ProtelName:
      return "Protel extension";
    case RoleSource::EagleName:
      return "Eagle name";
    case RoleSource::GedaName:
      return "gEDA name";
    case RoleSource::OrcadName:
      return "OrCAD extension";
    case RoleSource::DrillHeader:
      return "Excellon M48 header";
  }
  return "?";
}

// Layer roles - X2 file function
// ============================================================================

std::optional<FileFunctionRole> roleFromFileFunction(std::string_view value) {
  std::vector<std::string_view> f = splitFields(value, ',');
  if (f[0].empty()) return std::nullopt;
  FileFunctionRole found;
  auto field = [&f](size_t i) { return i < f.size() ? f[i] : std::string_view(); };
  // A second mask or legend of one side ("Soldermask,Top,2") has no layer of its own.
  const bool firstOfSide = field(2).empty() || field(2) == "1";
  if (f[0] == "Copper") {
    std::optional<int> position = numberAfter(field(1), "L");
    if (field(2) == "Inr" && position && *position >= 2) {
      found.role = inner(*position - 1);
    } else if (position) {
      found.role = side(field(2), LayerRole::TopCopper, LayerRole::BottomCopper);
    }
  } else if (f[0] == "Soldermask" && firstOfSide) {
    found.role = side(field(1), LayerRole::TopMask, LayerRole::BottomMask);
  } else if (f[0] == "Legend" && firstOfSide) {
    found.role = side(field(1), LayerRole::TopSilk, LayerRole::BottomSilk);
  } else if (f[0] == "Paste") {
    found.role = side(field(1), LayerRole::TopPaste, LayerRole::BottomPaste);
  } else if (f[0] == "Profile") {
    found.role = role(LayerRole::Outline);
  }
  return found;
}

// Layer roles - File-name conventions
// ============================================================================

namespace {

// KiCad: the layer name after the project name and a "-" (or alone), with
// "." or "_" inside: "clock-F_Cu.gbr", "chibi-B.Mask.gbr", "F_Cu.gbr".
std::optional<BoardRole> kicadRole(std::string_view stem) {
  size_t dash = stem.rfind('-');
  std::string layer(dash == std::string_view::npos ? stem : stem.substr(dash + 1));
  std::replace(layer.begin(), layer.end(), '.', '_');
  if (layer.size() > 3 && layer.ends_with("_cu")) {
    if (std::optional<int> n =
            numberAfter(std::string_view(layer).substr(0, layer.size() - 3), "in")) {
      if (*n >= 1) return inner(*n);
    }
  }
  return lookUp(layer, {{"f_cu", role(LayerRole::TopCopper)},
                        {"b_cu", role(LayerRole::BottomCopper)},
                        {"f_mask", role(LayerRole::TopMask)},
                        {"b_mask", role(LayerRole::BottomMask)},
                        {"f_silks", role(LayerRole::TopSilk)},
                        {"f_silkscreen", role(LayerRole::TopSilk)},
                        {"b_silks", role(LayerRole::BottomSilk)},
                        {"b_silkscreen", role(LayerRole::BottomSilk)},
                        {"f_paste", role(LayerRole::TopPaste)},
                        {"b_paste", role(LayerRole::BottomPaste)},
                        {"edge_cuts", role(LayerRole::Outline)}});
}

// Eagle 9 and Fusion 360 CAM names: "copper_top.gbr", "copper_inner_l2.gbr", ...
std::optional<BoardRole> eagleNamedRole(std::string_view stem) {
  if (std::optional<int> n = numberAfter(stem, "copper_inner_l"); n && *n >= 2)
    return inner(*n - 1);
  if (numberAfter(stem, "copper_bottom_l")) return role(LayerRole::BottomCopper);
  return lookUp(stem, {{"copper_top", role(LayerRole::TopCopper)},
                       {"copper_top_l1", role(LayerRole::TopCopper)},
                       {"copper_bottom", role(LayerRole::BottomCopper)},
                       {"soldermask_top", role(LayerRole::TopMask)},
                       {"soldermask_bottom", role(LayerRole::BottomMask)},
                       {"silkscreen_top", role(LayerRole::TopSilk)},
                       {"silkscreen_bottom", role(LayerRole::BottomSilk)},
                       {"solderpaste_top", role(LayerRole::TopPaste)},
                       {"solderpaste_bottom", role(LayerRole::BottomPaste)},
                       {"profile", role(LayerRole::Outline)}});
}

// gEDA PCB: "<board>.<layer>.gbr". Its "groupN" files are copper groups
// whose side the name does not tell.
std::optional<BoardRole> gedaRole(std::string_view stem, std::string_view extension) {
  size_t dot = stem.rfind('.');
  if (extension != "gbr" || dot == std::string_view::npos) return std::nullopt;
  return lookUp(stem.substr(dot + 1), {{"top", role(LayerRole::TopCopper)},
                                       {"bottom", role(LayerRole::BottomCopper)},
                                       {"topmask", role(LayerRole::TopMask)},
                                       {"bottommask", role(LayerRole::BottomMask)},
                                       {"topsilk", role(LayerRole::TopSilk)},
                                       {"bottomsilk", role(LayerRole::BottomSilk)},
                                       {"toppaste", role(LayerRole::TopPaste)},
                                       {"bottompaste", role(LayerRole::BottomPaste)},
                                       {"outline", role(LayerRole::Outline)}});
}

// Altium/Protel: .GTL, .GBL, .Gn (mid layer n), .GTO, .GBO, .GTS, .GBS,
// .GTP, .GBP, and the outline as .GKO (keep-out) or .GM1 (mechanical 1).
std::optional<BoardRole> protelRole(std::string_view extension) {
  if (std::optional<int> n = numberAfter(extension, "g"); n && *n >= 1) return inner(*n);
  return lookUp(extension, {{"gtl", role(LayerRole::TopCopper)},
                            {"gbl", role(LayerRole::BottomCopper)},
                            {"gts", role(LayerRole::TopMask)},
                            {"gbs", role(LayerRole::BottomMask)},
                            {"gto", role(LayerRole::TopSilk)},
                            {"gbo", role(LayerRole::BottomSilk)},
                            {"gtp", role(LayerRole::TopPaste)},
                            {"gbp", role(LayerRole::BottomPaste)},
                            {"gko", role(LayerRole::Outline)},
                            {"gm1", role(LayerRole::Outline)}});
}

// Eagle's classic CAM job: component and solder side, stop, place and
// cream layers, and .lyN for route layer N (2 is the first inner one).
std::optional<BoardRole> eagleExtensionRole(std::string_view extension) {
  if (std::optional<int> n = numberAfter(extension, "ly"); n && *n >= 2 && *n <= 15) {
    return inner(*n - 1);
  }
  return lookUp(extension, {{"cmp", role(LayerRole::TopCopper)},
                            {"sol", role(LayerRole::BottomCopper)},
                            {"stc", role(LayerRole::TopMask)},
                            {"sts", role(LayerRole::BottomMask)},
                            {"plc", role(LayerRole::TopSilk)},
                            {"pls", role(LayerRole::BottomSilk)},
                            {"crc", role(LayerRole::TopPaste)},
                            {"crs", role(LayerRole::BottomPaste)}});
}

// OrCAD Layout.
std::optional<BoardRole> orcadRole(std::string_view extension) {
  return lookUp(extension, {{"top", role(LayerRole::TopCopper)},
                            {"bot", role(LayerRole::BottomCopper)},
                            {"smt", role(LayerRole::TopMask)},
                            {"smb", role(LayerRole::BottomMask)},
                            {"sst", role(LayerRole::TopSilk)},
                            {"ssb", role(LayerRole::BottomSilk)},
                            {"spt", role(LayerRole::TopPaste)},
                            {"spb", role(LayerRole::BottomPaste)}});
}

}  // namespace

std::optional<NamedRole> roleFromFileName(std::string_view fileName) {
  size_t slash = fileName.find_last_of("/\\");
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  const std::string name = lowerCase(fileName);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::nullopt;
  const std::string_view stem = std::string_view(name).substr(0, dot);
  const std::string_view extension = std::string_view(name).substr(dot + 1);

  // Names that spell the layer out first, then the extension tables.
  if (auto r = kicadRole(stem)) return NamedRole{*r, RoleSource::KiCadName};
  if (auto r = eagleNamedRole(stem)) return NamedRole{*r, RoleSource::EagleName};
  if (auto r = gedaRole(stem, extension)) return NamedRole{*r, RoleSource::GedaName};
  if (auto r = protelRole(extension)) return NamedRole{*r, RoleSource::ProtelName};
  if (auto r = eagleExtensionRole(extension)) return NamedRole{*r, RoleSource::EagleName};
  if (auto r = orcadRole(extension)) return NamedRole{*r, RoleSource::OrcadName};
  return std::nullopt;
}

// LayerMap
// ============================================================================

namespace {

// The roles in key order, inner copper 1..16 after the bottom copper.
constexpr std::array<LayerRole, 10> kSingleRoles = {
    LayerRole::TopCopper, LayerRole::BottomCopper, LayerRole::TopMask,  LayerRole::BottomMask,
    LayerRole::TopSilk,   LayerRole::BottomSilk,   LayerRole::TopPaste, LayerRole::BottomPaste,
    LayerRole::Outline,   LayerRole::Drill};
constexpr size_t kFirstInner = 2;

}  // namespace

BoardRole LayerMap::roleAt(size_t index) {
  if (index < kFirstInner) return role(kSingleRoles[index]);
  if (index < kFirstInner + kMaxInnerCopper)
    return inner(static_cast<int>(index - kFirstInner + 1));
  return role(kSingleRoles[index - kMaxInnerCopper]);
}

std::optional<size_t> LayerMap::indexOf(const BoardRole& r) {
  if (r.role == LayerRole::InnerCopper) {
    if (r.inner < 1 || r.inner > kMaxInnerCopper) return std::nullopt;
    return kFirstInner + static_cast<size_t>(r.inner - 1);
  }
  auto at = std::find(kSingleRoles.begin(), kSingleRoles.end(), r.role);
  auto i = static_cast<size_t>(at - kSingleRoles.begin());
  return i < kFirstInner ? i : i + kMaxInnerCopper;
}

std::string LayerMap::keyOf(const BoardRole& r) {
  return roleText(r, &RoleText::key);
}

LayerMap LayerMap::defaults() {
  LayerMap map;
  constexpr int kInnerPlaced = 8;  // inner copper 1..8 on layers 3..10
  map.setLayer(role(LayerRole::TopCopper), 1);
  map.setLayer(role(LayerRole::BottomCopper), 2);
  for (int n = 1; n <= kInnerPlaced; ++n) map.setLayer(inner(n), 2 + n);
  int layer = 3 + kInnerPlaced;
  for (size_t i = 2; i < kSingleRoles.size(); ++i) map.setLayer(role(kSingleRoles[i]), layer++);
  return map;
}

int LayerMap::layerOf(const BoardRole& r) const {
  std::optional<size_t> i = indexOf(r);
  return i ? layers_[*i] : 0;
}

void LayerMap::setLayer(const BoardRole& r, int layer) {
  if (std::optional<size_t> i = indexOf(r)) layers_[*i] = layer;
}

LayerMap readLayerMap(const IniDocument& ini, const std::string& fileName) {
  LayerMap map = LayerMap::defaults();
  auto where = [&](const std::string& key) {
    return fileName + ": [" + kLayerMapSection + "] " + key;
  };
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    const BoardRole r = LayerMap::roleAt(i);
    const std::string key = LayerMap::keyOf(r);
    std::optional<std::string> text = ini.value(kLayerMapSection, key);
    if (!text) continue;
    std::optional<long long> layer = parseInteger(trimSpaces(*text));
    if (!layer || *layer < 0 || *layer > kLayerCount) {
      throw FormatError(where(key) + "=" + *text + ": a layer is a number 1..18, or 0 for none");
    }
    map.setLayer(r, static_cast<int>(*layer));
  }
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    for (size_t j = i + 1; j < LayerMap::kRoleCount; ++j) {
      const int layer = map.layerOf(LayerMap::roleAt(i));
      if (layer != 0 && layer == map.layerOf(LayerMap::roleAt(j))) {
        throw FormatError(where(LayerMap::keyOf(LayerMap::roleAt(i))) + " and " +
                          LayerMap::keyOf(LayerMap::roleAt(j)) + " both name layer " +
                          std::to_string(layer) + ": each layer takes one role");
      }
    }
  }
  return map;
}

LayerMap loadLayerMap(const std::filesystem::path& settingsFile) {
  IniDocument ini = IniDocument::load(settingsFile);
  const LayerMap map = readLayerMap(ini, settingsFile.string());
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    if (ini.value(kLayerMapSection, LayerMap::keyOf(LayerMap::roleAt(i)))) return map;
  }
  writeLayerMap(ini, map);
  ini.save(settingsFile);
  return map;
}

void writeLayerMap(IniDocument& ini, const LayerMap& map) {
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    const BoardRole r = LayerMap::roleAt(i);
    ini.set(kLayerMapSection, LayerMap::keyOf(r), std::to_string(map.layerOf(r)));
  }
}

}  // namespace drumplot
