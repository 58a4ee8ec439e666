// SPDX-License-Identifier: MIT
// Layer roles: what a file of a board is (top copper, bottom solder mask,
// outline, drill, ...), told by its X2 file function or by the file-name
// conventions of the CAD programs, and the layer map that gives each role
// its layer of the job (kept in the settings file's "BoardLayers" section).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/board.h"
#include "job/ini_document.h"

namespace drumplot {

enum class LayerRole : uint8_t {
  TopCopper,
  BottomCopper,
  InnerCopper,  // with its number: 1 is the first layer below the top
  TopMask,
  BottomMask,
  TopSilk,
  BottomSilk,
  TopPaste,
  BottomPaste,
  Outline,
  Drill,  // an Excellon file: remembered on a layer, never plotted
};

// Inner copper layers the map can place (boards of up to 18 copper layers).
inline constexpr int kMaxInnerCopper = 16;

struct BoardRole {
  LayerRole role = LayerRole::TopCopper;
  int inner = 0;  // InnerCopper only: 1 .. kMaxInnerCopper (more is recognised, never placed)

  bool operator==(const BoardRole&) const = default;
};

// "top copper", "inner copper 2", "drill".
std::string roleName(const BoardRole& role);

// How a role was told.
enum class RoleSource : uint8_t {
  FileFunction,  // the X2 attribute .FileFunction
  KiCadName,     // <project>-F_Cu.gbr, -B.Mask, -In2_Cu, -Edge_Cuts
  ProtelName,    // Altium/Protel extensions: .GTL, .GBS, .G2, .GKO, .GM1
  EagleName,     // .cmp/.sol/.stc/... and copper_top.gbr, soldermask_bottom.gbr, ...
  GedaName,      // <board>.top.gbr, .bottommask.gbr, .outline.gbr, ...
  OrcadName,     // OrCAD Layout extensions: .top, .bot, .smt, .ssb, ...
  EasyEdaName,   // Gerber_TopLayer.GTL, Gerber_BoardOutlineLayer.GKO, ...
  ProteusName,   // <project> - CADCAM Top Copper.TXT, ...
  PulsonixName,  // <design> - Top Copper.gbr, ... (also DesignSpark PCB, Easy-PC)
  DipTraceName,  // <board>_Top.gbr, _TopMask.gbr, _BoardOutline.gbr, ...
  MentorName,    // ...SoldermaskTop.gdo, EtchLayerBottom.gdo, ...
  TargetName,    // TARGET 3001!: .StopTop, .PosiBot, .PasteTop, .Outline
  NameMap,       // a pattern of the layer map (--map, [LayerMap])
  DrillHeader,   // an Excellon file that opens with M48
};
const char* toString(RoleSource source);

// What a .FileFunction value ("Copper,L1,Top", "Soldermask,Bot") says.
struct FileFunctionRole {
  std::optional<BoardRole> role;  // empty: a function without a layer role
                                  // of ours (assembly drawing, Gerber drill data, ...)
};
// Empty when `value` names no function at all (the caller then goes on to
// the file name); otherwise the role, or none for a function we do not place.
std::optional<FileFunctionRole> roleFromFileFunction(std::string_view value);

struct NamedRole {
  BoardRole role;
  RoleSource source;
};
// The role the file name gives under one of the conventions, or nothing.
// Only names that say one role without doubt count: gEDA "groupN" files,
// Altium planes (.GPn) and mechanical layers (.GMn), and names such as
// "LAYER_2" are no role (their place in the stack, or whether a mechanical
// layer is the outline, is not in the name).
std::optional<NamedRole> roleFromFileName(std::string_view fileName);
// For a name a convention gives no role ("board.GM1", "board-job.gbrjob"):
// whose name it is and why it has none ("Protel extension: a mechanical
// layer: ..."); empty for other names.
std::string noLayerByName(std::string_view fileName);

// Whether `name` matches the glob `pattern` without regard to ASCII case:
// "*" any run of characters, "?" any one; with `number`, "#" one to three
// digits, whose value goes there.
bool globMatch(std::string_view pattern, std::string_view name, int* number = nullptr);

// A layer map line "PATTERN=ROLE": files whose name matches the glob
// PATTERN (without regard to case; with a "/", the name below the imported
// folder) take the role, before their X2 attributes and their name.
struct NamePattern {
  std::string pattern;
  std::optional<BoardRole> role;  // none ("None"): the files are left out

  bool operator==(const NamePattern&) const = default;
  bool matches(std::string_view fileName) const;
};
// "*.gm1", "Outline": the role is a settings key ("TopMask", "InnerCopper3")
// or a role's name ("top solder mask"), without regard to case and blanks,
// or "None".
// Throws std::invalid_argument saying what is wrong: an empty pattern, or a
// role that is none of ours (the message lists them).
NamePattern parseNamePattern(std::string_view pattern, std::string_view role);

// The layer map: role -> layer 1..18, 0 for "not placed", and the patterns
// that give files their role by name.
class LayerMap {
 public:
  std::vector<NamePattern> patterns;  // the first that matches wins
  const NamePattern* patternFor(std::string_view fileName) const;

  // 1 top copper, 2 bottom copper, 3..10 inner copper 1..8, 11 top mask,
  // 12 bottom mask, 13 top silk, 14 bottom silk, 15 top paste, 16 bottom
  // paste, 17 outline, 18 drill; inner copper 9..16 not placed.
  static LayerMap defaults();

  int layerOf(const BoardRole& role) const;  // 0: not placed
  void setLayer(const BoardRole& role, int layer);

  // Every role the map holds, in key order.
  static constexpr size_t kRoleCount =
      10 + kMaxInnerCopper;  // ten single roles and the inner copper
  static BoardRole roleAt(size_t index);
  // The settings key of a role: "TopCopper", "InnerCopper3", "Drill".
  static std::string keyOf(const BoardRole& role);

  bool operator==(const LayerMap&) const = default;

 private:
  static std::optional<size_t> indexOf(const BoardRole& role);
  std::array<int, kRoleCount> layers_{};
};

inline constexpr const char* kLayerMapSection = "BoardLayers";
inline constexpr const char* kNamePatternSection = "LayerMap";

// The map of the settings file's "BoardLayers" section; absent keys keep
// their defaults. A value that is not a layer number 0..18, or a layer
// given to two roles, throws FormatError naming `fileName`, the section and
// the keys: a wrong map would put one film's data on another. The
// "LayerMap" section's lines are its patterns, refused as parseNamePattern()
// refuses them.
LayerMap readLayerMap(const IniDocument& ini, const std::string& fileName);
// Every key of the map into the section.
void writeLayerMap(IniDocument& ini, const LayerMap& map);
// The window's map: readLayerMap of the settings file; when the file has
// no key of the section yet, the defaults are written into it, where the
// operator finds them to change.
LayerMap loadLayerMap(const std::filesystem::path& settingsFile);

}  // namespace drumplot
