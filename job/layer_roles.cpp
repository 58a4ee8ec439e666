// SPDX-License-Identifier: MIT
// Layer roles from X2 attributes and file names, and the layer map.
#include "job/layer_roles.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "engine/errors.h"
#include "engine/text.h"

namespace drumplot {

namespace {

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
    case RoleSource::EasyEdaName:
      return "EasyEDA name";
    case RoleSource::ProteusName:
      return "Proteus name";
    case RoleSource::PulsonixName:
      return "Pulsonix/DesignSpark name";
    case RoleSource::DipTraceName:
      return "DipTrace name";
    case RoleSource::MentorName:
      return "Mentor name";
    case RoleSource::TargetName:
      return "TARGET 3001! extension";
    case RoleSource::NameMap:
      return "layer map pattern";
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

// One convention's name for one layer: globs (lower case, "|" between
// alternatives) with "#" for a layer number. A rule without a role names a
// file the name says is no layer of ours, or says too little to place.
struct NameRule {
  const char* patterns;
  RoleSource source;
  LayerRole role;
  const char* noLayer = nullptr;  // set: why the file has no role
  int offset = 0;                 // InnerCopper: the inner layer is the number less this
  int last = 99;                  // and the number at most this
};

constexpr NameRule named(const char* patterns, RoleSource source, LayerRole role) {
  return {patterns, source, role};
}
constexpr NameRule innerNamed(const char* patterns, RoleSource source, int offset = 0,
                              int last = 99) {
  return {patterns, source, LayerRole::InnerCopper, nullptr, offset, last};
}
constexpr NameRule noLayer(const char* patterns, RoleSource source, const char* why) {
  return {patterns, source, LayerRole::Drill, why};
}

using enum LayerRole;
constexpr auto kKiCad = RoleSource::KiCadName;
constexpr auto kEagle = RoleSource::EagleName;
constexpr auto kEasyEda = RoleSource::EasyEdaName;
constexpr auto kProteus = RoleSource::ProteusName;
constexpr auto kPulsonix = RoleSource::PulsonixName;
constexpr auto kGeda = RoleSource::GedaName;
constexpr auto kDipTrace = RoleSource::DipTraceName;
constexpr auto kMentor = RoleSource::MentorName;
constexpr auto kTarget = RoleSource::TargetName;
constexpr auto kProtel = RoleSource::ProtelName;
constexpr auto kOrcad = RoleSource::OrcadName;

constexpr const char* kMechanical =
    "a mechanical layer: the outline only when its X2 file function says Profile";

// The first rule that matches a name wins: names that spell the layer out
// come before the extension tables, so that "board-Edge.Cuts.gm1" is KiCad's
// outline and not an Altium mechanical layer.
constexpr NameRule kNameRules[] = {
    // KiCad: "<project>-<layer>.<ext>", the layer with "_" or ".".
    named("*-f?cu.*|f?cu.*", kKiCad, TopCopper),
    named("*-b?cu.*|b?cu.*", kKiCad, BottomCopper),
    innerNamed("*-in#?cu.*|in#?cu.*|*-inner#?cu.*", kKiCad),
    named("*-f?mask.*|f?mask.*", kKiCad, TopMask),
    named("*-b?mask.*|b?mask.*", kKiCad, BottomMask),
    named("*-f?silks.*|f?silks.*|*-f?silkscreen.*|f?silkscreen.*", kKiCad, TopSilk),
    named("*-b?silks.*|b?silks.*|*-b?silkscreen.*|b?silkscreen.*", kKiCad, BottomSilk),
    named("*-f?paste.*|f?paste.*", kKiCad, TopPaste),
    named("*-b?paste.*|b?paste.*", kKiCad, BottomPaste),
    named("*-edge?cuts.*|edge?cuts.*", kKiCad, Outline),
    noLayer("*.gbrjob", kKiCad, "a job file (the board's stack-up), not a layer"),
    // Eagle 9 and Fusion 360 CAM.
    named("copper_top.*|copper_top_l1.*", kEagle, TopCopper),
    named("copper_bottom.*|copper_bottom_l#.*", kEagle, BottomCopper),
    innerNamed("copper_inner_l#.*", kEagle, 1),
    named("soldermask_top.*", kEagle, TopMask),
    named("soldermask_bottom.*", kEagle, BottomMask),
    named("silkscreen_top.*", kEagle, TopSilk),
    named("silkscreen_bottom.*", kEagle, BottomSilk),
    named("solderpaste_top.*", kEagle, TopPaste),
    named("solderpaste_bottom.*", kEagle, BottomPaste),
    named("profile.*", kEagle, Outline),
    // Eagle with the OSH Park CAM job.
    named("*.toplayer.ger", kEagle, TopCopper),
    named("*.bottomlayer.ger", kEagle, BottomCopper),
    innerNamed("*.internalplane#.ger", kEagle),
    named("*.topsoldermask.ger", kEagle, TopMask),
    named("*.bottomsoldermask.ger", kEagle, BottomMask),
    named("*.topsilkscreen.ger", kEagle, TopSilk),
    named("*.bottomsilkscreen.ger", kEagle, BottomSilk),
    named("*.tcream.ger", kEagle, TopPaste),
    named("*.bcream.ger", kEagle, BottomPaste),
    named("*.boardoutline.ger", kEagle, Outline),
    // EasyEDA and EasyEDA Pro.
    named("gerber_toplayer.*", kEasyEda, TopCopper),
    named("gerber_bottomlayer.*", kEasyEda, BottomCopper),
    innerNamed("gerber_inner#.*|gerber_innerlayer#.*", kEasyEda),
    named("gerber_topsoldermasklayer.*", kEasyEda, TopMask),
    named("gerber_bottomsoldermasklayer.*", kEasyEda, BottomMask),
    named("gerber_topsilklayer.*|gerber_topsilkscreenlayer.*", kEasyEda, TopSilk),
    named("gerber_bottomsilklayer.*|gerber_bottomsilkscreenlayer.*", kEasyEda, BottomSilk),
    named("gerber_toppastemasklayer.*", kEasyEda, TopPaste),
    named("gerber_bottompastemasklayer.*", kEasyEda, BottomPaste),
    named("gerber_boardoutline.*|gerber_boardoutlinelayer.*", kEasyEda, Outline),
    // Proteus: "<project> - CADCAM Top Copper.TXT" (or .GBR).
    named("*cadcam top copper.*", kProteus, TopCopper),
    named("*cadcam bottom copper.*", kProteus, BottomCopper),
    innerNamed("*cadcam inner #.*|*cadcam inner  #.*", kProteus),
    named("*cadcam top solder resist.*", kProteus, TopMask),
    named("*cadcam bottom solder resist.*", kProteus, BottomMask),
    named("*cadcam top silk screen.*", kProteus, TopSilk),
    named("*cadcam bottom silk screen.*", kProteus, BottomSilk),
    named("*cadcam top smt paste.*|*cadcam top smt paste mask.*", kProteus, TopPaste),
    named("*cadcam bottom smt paste.*|*cadcam bottom smt paste mask.*", kProteus, BottomPaste),
    noLayer("*cadcam mechanical #.*", kProteus, kMechanical),
    // Pulsonix, DesignSpark PCB and Easy-PC: "<design> - Top Copper.gbr".
    named("* - top copper.*", kPulsonix, TopCopper),
    named("* - bottom copper.*", kPulsonix, BottomCopper),
    named("* - top solder mask.*|* - top copper (resist).*", kPulsonix, TopMask),
    named("* - bottom solder mask.*|* - bottom copper (resist).*", kPulsonix, BottomMask),
    named("* - top silkscreen.*", kPulsonix, TopSilk),
    named("* - bottom silkscreen.*", kPulsonix, BottomSilk),
    named("* - top copper (paste).*", kPulsonix, TopPaste),
    named("* - bottom copper (paste).*", kPulsonix, BottomPaste),
    // gEDA PCB and pcb-rnd: "<board>.<layer>.gbr"; a "groupN" file is copper
    // whose side the name does not tell.
    named("*.top.gbr", kGeda, TopCopper),
    named("*.bottom.gbr", kGeda, BottomCopper),
    named("*.topmask.gbr", kGeda, TopMask),
    named("*.bottommask.gbr", kGeda, BottomMask),
    named("*.topsilk.gbr", kGeda, TopSilk),
    named("*.bottomsilk.gbr", kGeda, BottomSilk),
    named("*.toppaste.gbr", kGeda, TopPaste),
    named("*.bottompaste.gbr", kGeda, BottomPaste),
    named("*.outline.gbr", kGeda, Outline),
    noLayer("*.group#.gbr", kGeda, "a copper group: its place in the stack is not in the name"),
    noLayer("*.fab.gbr", kGeda, "a fabrication drawing, not a layer"),
    // DipTrace: "<board>_Top.gbr".
    named("*_top.gbr", kDipTrace, TopCopper),
    named("*_bottom.gbr", kDipTrace, BottomCopper),
    named("*_topmask.gbr", kDipTrace, TopMask),
    named("*_bottommask.gbr", kDipTrace, BottomMask),
    named("*_topsilk.gbr", kDipTrace, TopSilk),
    named("*_bottomsilk.gbr", kDipTrace, BottomSilk),
    named("*_toppaste.gbr", kDipTrace, TopPaste),
    named("*_bottompaste.gbr", kDipTrace, BottomPaste),
    named("*_boardoutline.gbr", kDipTrace, Outline),
    // Mentor and Siemens: "...SoldermaskTop.gdo".
    named("*etchlayertop.gdo", kMentor, TopCopper),
    named("*etchlayerbottom.gdo", kMentor, BottomCopper),
    named("*soldermasktop.gdo", kMentor, TopMask),
    named("*soldermaskbottom.gdo", kMentor, BottomMask),
    named("*silkscreentop.gdo", kMentor, TopSilk),
    named("*silkscreenbottom.gdo", kMentor, BottomSilk),
    named("*solderpastetop.gdo", kMentor, TopPaste),
    named("*solderpastebottom.gdo", kMentor, BottomPaste),
    // TARGET 3001!: ".StopTop", ".PosiBot", ... (".Top" and ".Bot" as OrCAD's).
    named("*.stoptop", kTarget, TopMask),
    named("*.stopbot", kTarget, BottomMask),
    named("*.positop", kTarget, TopSilk),
    named("*.posibot", kTarget, BottomSilk),
    named("*.pastetop", kTarget, TopPaste),
    named("*.pastebot", kTarget, BottomPaste),
    named("*.outline", kTarget, Outline),
    // Altium/Protel: .Gn is mid layer n; planes (.GPn) and mechanical layers
    // (.GMn) do not say their role.
    named("*.gtl", kProtel, TopCopper),
    named("*.gbl", kProtel, BottomCopper),
    innerNamed("*.g#", kProtel),
    named("*.gts", kProtel, TopMask),
    named("*.gbs", kProtel, BottomMask),
    named("*.gto", kProtel, TopSilk),
    named("*.gbo", kProtel, BottomSilk),
    named("*.gtp", kProtel, TopPaste),
    named("*.gbp", kProtel, BottomPaste),
    named("*.gko", kProtel, Outline),
    noLayer("*.gp#", kProtel, "an internal plane: its place in the stack is not in the name"),
    noLayer("*.gm#", kProtel, kMechanical),
    noLayer("*.gd#|*.gg#", kProtel, "a drill drawing or drill guide, not a layer"),
    noLayer("*.gpt|*.gpb", kProtel, "a pad master, not a layer"),
    noLayer("*.gl#", kProtel,
            "an inner layer counted from the top layer by some makers, from the first inner "
            "layer by others"),
    // Eagle's classic CAM job: component and solder side, stop, place and
    // cream layers, .lyN for route layer N (2 is the first inner one), the
    // dimension and mill layers (Seeed's .gml) for the outline.
    named("*.cmp", kEagle, TopCopper),
    named("*.sol", kEagle, BottomCopper),
    innerNamed("*.ly#", kEagle, 1, 15),
    named("*.stc|*.tsm", kEagle, TopMask),
    named("*.sts|*.bsm", kEagle, BottomMask),
    named("*.plc|*.tsk", kEagle, TopSilk),
    named("*.pls|*.bsk", kEagle, BottomSilk),
    named("*.crc|*.tsp", kEagle, TopPaste),
    named("*.crs|*.bsp", kEagle, BottomPaste),
    named("*.gml|*.mil|*.dim", kEagle, Outline),
    noLayer("*.gpi|*.dri", kEagle, "a report of the Gerber or drill run, not a layer"),
    // OrCAD Layout.
    named("*.top", kOrcad, TopCopper),
    named("*.bot", kOrcad, BottomCopper),
    innerNamed("*.in#", kOrcad),
    named("*.smt", kOrcad, TopMask),
    named("*.smb", kOrcad, BottomMask),
    named("*.sst", kOrcad, TopSilk),
    named("*.ssb", kOrcad, BottomSilk),
    named("*.spt", kOrcad, TopPaste),
    named("*.spb", kOrcad, BottomPaste),
};

// The rule a file name matches, with the inner layer it names.
std::optional<std::pair<const NameRule*, int>> matchingRule(std::string_view fileName) {
  size_t slash = fileName.find_last_of("/\\");
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  const std::string name = lowerCase(fileName);
  for (const NameRule& rule : kNameRules) {
    for (std::string_view glob : splitFields(rule.patterns, '|')) {
      int number = 0;
      if (!globMatch(glob, name, &number)) continue;
      if (rule.role != InnerCopper || rule.noLayer) return std::pair{&rule, 0};
      if (number - rule.offset >= 1 && number <= rule.last) {
        return std::pair{&rule, number - rule.offset};
      }
    }
  }
  return std::nullopt;
}

}  // namespace

bool globMatch(std::string_view pattern, std::string_view name, int* number) {
  // A "*" matches nothing at first and one more character each time what
  // follows it fails: at most pattern x name steps.
  size_t p = 0, n = 0, star = std::string_view::npos, starName = 0;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  while (n < name.size()) {
    const char c = p < pattern.size() ? pattern[p] : '\0';
    if (p < pattern.size() && c == '*') {
      star = p++;
      starName = n;
    } else if (c == '#' && number && isDigit(name[n])) {
      size_t digits = 0;
      while (digits < 3 && n + digits < name.size() && isDigit(name[n + digits])) ++digits;
      *number = static_cast<int>(*parseInteger(name.substr(n, digits)));
      n += digits;
      ++p;
    } else if (p < pattern.size() && !(c == '#' && number) &&
               (c == '?' || lower(c) == lower(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::optional<NamedRole> roleFromFileName(std::string_view fileName) {
  auto found = matchingRule(fileName);
  if (!found || found->first->noLayer) return std::nullopt;
  const NameRule& rule = *found->first;
  return NamedRole{{rule.role, found->second}, rule.source};
}

std::string noLayerByName(std::string_view fileName) {
  auto found = matchingRule(fileName);
  if (!found || !found->first->noLayer) return {};
  return std::string(toString(found->first->source)) + ": " + found->first->noLayer;
}

// Layer map - Name patterns
// ============================================================================

namespace {

// Lower case without blanks, "-" and "_": "Top Solder Mask" -> "topsoldermask".
std::string roleWord(std::string_view text) {
  std::string word;
  for (char c : lowerCase(text)) {
    if (c != ' ' && c != '\t' && c != '-' && c != '_') word.push_back(c);
  }
  return word;
}

// "TopCopper, BottomCopper, InnerCopper1..InnerCopper16, TopMask, ...".
std::string roleKeys() {
  std::string keys;
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    const BoardRole r = LayerMap::roleAt(i);
    if (r.role == LayerRole::InnerCopper && r.inner > 1 && r.inner < kMaxInnerCopper) continue;
    keys += (keys.empty() ? "" : r.inner == kMaxInnerCopper ? ".." : ", ") + LayerMap::keyOf(r);
  }
  return keys;
}

}  // namespace

bool NamePattern::matches(std::string_view fileName) const {
  if (pattern.find('/') == std::string::npos) {
    const size_t slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  }
  return globMatch(pattern, fileName);
}

NamePattern parseNamePattern(std::string_view pattern, std::string_view role) {
  pattern = trimSpaces(pattern);
  if (pattern.empty()) {
    throw std::invalid_argument("no pattern before \"=\" (one such as *.gm1 names the files)");
  }
  const std::string word = roleWord(role);
  if (word == "none") return {std::string(pattern), std::nullopt};
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    const BoardRole r = LayerMap::roleAt(i);
    if (word == roleWord(LayerMap::keyOf(r)) || word == roleWord(roleName(r))) {
      return {std::string(pattern), r};
    }
  }
  throw std::invalid_argument("no role \"" + std::string(trimSpaces(role)) +
                              "\" (the roles: " + roleKeys() + ", or None to leave the files out)");
}

const NamePattern* LayerMap::patternFor(std::string_view fileName) const {
  for (const NamePattern& p : patterns) {
    if (p.matches(fileName)) return &p;
  }
  return nullptr;
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
  for (const auto& [pattern, role] : ini.entries(kNamePatternSection)) {
    try {
      map.patterns.push_back(parseNamePattern(pattern, role));
    } catch (const std::invalid_argument& e) {
      throw FormatError(fileName + ": [" + kNamePatternSection + "] " + pattern + "=" + role +
                        ": " + e.what());
    }
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
