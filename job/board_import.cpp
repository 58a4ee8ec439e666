// SPDX-License-Identifier: MIT
// Importing a whole board from a folder or a zip file.
#include "job/board_import.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <system_error>

#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "engine/text.h"
#include "io/file_io.h"
#include "job/board_archive.h"

namespace drumplot {

namespace {

namespace fs = std::filesystem;

// The lines of an Excellon header worth reading for the file's role.
std::vector<std::string_view> headerLines(std::string_view bytes, size_t maxLines) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < bytes.size() && lines.size() < maxLines;) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = trimSpaces(bytes.substr(start, end - start));
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The words of a file name, in lower case: cut at everything but letters
// and digits, and where a capital follows a small letter ("ThruHoleNonPlated").
std::vector<std::string> nameWords(std::string_view name) {
  std::vector<std::string> words(1);
  auto isLower = [](char c) { return c >= 'a' && c <= 'z'; };
  auto isUpper = [](char c) { return c >= 'A' && c <= 'Z'; };
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (!isLower(c) && !isUpper(c) && !isDigit(c)) {
      if (!words.back().empty()) words.emplace_back();
      continue;
    }
    if (isUpper(c) && i > 0 && isLower(name[i - 1]) && !words.back().empty()) words.emplace_back();
    words.back().push_back(isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c);
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

// Plated-through holes or not: said by the X2 comment
// (";TF.FileFunction,Plated,..." or "NonPlated"), Altium's ";TYPE=PLATED" or
// ";TYPE=NON_PLATED", else by the words of the name: "NPTH", "unplated",
// "non-plated" or "NonPlated", and "PTH" or "plated". Anything else does not say.
DrillPlating drillPlating(std::string_view bytes, std::string_view name) {
  for (std::string_view line : headerLines(bytes, 40)) {
    if (line.front() != ';') continue;
    if (line.find("FileFunction,NonPlated") != std::string_view::npos ||
        line.find("TYPE=NON_PLATED") != std::string_view::npos) {
      return DrillPlating::NonPlated;
    }
    if (line.find("FileFunction,Plated") != std::string_view::npos ||
        line.find("TYPE=PLATED") != std::string_view::npos) {
      return DrillPlating::Plated;
    }
  }
  const std::vector<std::string> words = nameWords(fs::path(name).stem().string());
  DrillPlating plating = DrillPlating::Unknown;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "npth" || w == "unplated" || w == "nonplated" ||
        (w == "non" && i + 1 < words.size() && words[i + 1] == "plated")) {
      return DrillPlating::NonPlated;
    }
    if (w == "pth" || w == "plated") plating = DrillPlating::Plated;
  }
  return plating;
}

// Gives `f` its role from what the file holds and what it is called: the
// layer map's patterns first, then the X2 file function, then the CAD
// programs' names. A drill file is known by its head whatever its name; a
// Gerber file is read a block at a time and its statements may take at most
// `maxTextBytes`.
void classify(BoardFile& f, const DataFormat& format, const LayerMap& map, uint64_t maxTextBytes) {
  const NamePattern* pattern = map.patternFor(f.name);
  if (pattern && !pattern->role) {
    f.reason = "the layer map's " + pattern->pattern + " leaves it out";
    return;
  }
  std::string head(size_t{1} << 16, '\0');
  {
    std::ifstream in(f.file, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
  }
  if (hasDrillHeader(head) && !looksBinary(head)) {
    f.role = BoardRole{LayerRole::Drill, 0};
    f.source = RoleSource::DrillHeader;
    f.plating = drillPlating(head, f.name);
    return;
  }
  StatementLimits limits;
  limits.maxTextBytes = maxTextBytes;
  GerberReader reader(format, limits);
  reader.FileName = f.file.string();
  try {
    const LoadStatus status = reader.load();
    if (status == LoadStatus::NotGerber || status == LoadStatus::CannotOpen) {
      f.reason = status == LoadStatus::NotGerber ? "not a text file" : toString(status);
      return;
    }
    reader.computeExtents();
  } catch (const FormatError& e) {
    f.reason = std::string("cannot be read as Gerber data: ") + e.what();
    return;
  }
  const GerberProgram& program = reader.program;
  if (!program.hasDrawing && !program.hasEnd && program.fileAttributes.empty()) {
    f.reason = noLayerByName(f.name);
    if (f.reason.empty()) f.reason = "neither Gerber data nor a drill file with an M48 header";
    return;
  }
  f.drawing = program.hasDrawing;
  f.extents = {reader.MinX, reader.MinY, reader.Width, reader.Height};
  if (pattern) {
    if (pattern->role->role == LayerRole::Drill) {
      f.reason = "the layer map's " + pattern->pattern +
                 " names it the drill file, but it has no M48 header";
      return;
    }
    f.role = pattern->role;
    f.source = RoleSource::NameMap;
    f.pattern = pattern->pattern;
    return;
  }
  if (const std::string* function = program.fileAttribute(".FileFunction")) {
    f.fileFunction = *function;
    if (std::optional<FileFunctionRole> x2 = roleFromFileFunction(*function)) {
      if (!x2->role) {
        f.reason = "X2 file function " + *function + " has no layer role";
        return;
      }
      f.role = x2->role;
      f.source = RoleSource::FileFunction;
      return;
    }
  }
  if (std::optional<NamedRole> named = roleFromFileName(f.name)) {
    f.role = named->role;
    f.source = named->source;
    return;
  }
  f.reason = noLayerByName(f.name);
  if (f.reason.empty()) f.reason = "no role in its X2 attributes or its name";
}

// Of several drill files the board keeps the one for plated-through holes:
// the only one said to be, else the only one not said to be for unplated
// holes. When that is not one file, it keeps none.
void chooseDrill(std::vector<BoardFile*>& drills) {
  if (drills.size() < 2) return;
  auto only = [&drills](auto keep) -> BoardFile* {
    BoardFile* found = nullptr;
    for (BoardFile* f : drills) {
      if (!keep(*f)) continue;
      if (found) return nullptr;
      found = f;
    }
    return found;
  };
  BoardFile* kept = only([](const BoardFile& f) { return f.plating == DrillPlating::Plated; });
  if (!kept) kept = only([](const BoardFile& f) { return f.plating != DrillPlating::NonPlated; });
  for (BoardFile* f : drills) {
    if (f == kept) continue;
    f->reason =
        kept ? "the board keeps one drill file, the one for plated-through holes: " + kept->name
             : std::to_string(drills.size()) +
                   " drill files and none of them alone for plated-through holes: name the "
                   "one to keep on a layer of its own";
  }
  drills.clear();
  if (kept) drills.push_back(kept);
}

// "a.gbr, b.gbr, c.gbr and 1996 more": the first three of the files but `f`,
// so that many files claiming one role cost no more than their count.
std::string otherClaimants(const std::vector<BoardFile*>& files, const BoardFile* f) {
  constexpr size_t kNamed = 3;
  std::string others;
  size_t named = 0;
  for (size_t i = 0; i < files.size() && named < kNamed; ++i) {
    if (files[i] == f) continue;
    others += (named++ == 0 ? "" : ", ") + files[i]->name;
  }
  if (files.size() - 1 > kNamed) {
    others += " and " + std::to_string(files.size() - 1 - kNamed) + " more";
  }
  return others;
}

// Places every file with a role that no other file claims and that the map
// gives a layer.
void place(BoardImportPlan& plan, const LayerMap& map) {
  std::map<std::string, std::vector<BoardFile*>> byRole;
  for (BoardFile& f : plan.files) {
    if (f.role) byRole[LayerMap::keyOf(*f.role)].push_back(&f);
  }
  for (auto& [key, files] : byRole) {
    if (files.front()->role->role == LayerRole::Drill) chooseDrill(files);
    if (files.size() > 1) {
      for (BoardFile* f : files) {
        f->reason = roleName(*f->role) + " also claimed by " + otherClaimants(files, f);
        f->contested = true;
      }
      continue;
    }
    if (files.empty()) continue;
    BoardFile& f = *files.front();
    f.layer = map.layerOf(*f.role);
    if (f.layer == 0) {
      f.reason = "the layer map gives " + roleName(*f.role) + " no layer ([" + kLayerMapSection +
                 "] " + LayerMap::keyOf(*f.role) + ")";
      continue;
    }
    plan.layers[static_cast<size_t>(f.layer - 1)] = f.file.string();
  }
}

// The outline sizes the board; without one the top copper, then the bottom
// copper, then the lowest layer that draws.
std::optional<size_t> chooseMaster(const BoardImportPlan& plan) {
  auto drawn = [&](LayerRole role) -> std::optional<size_t> {
    for (size_t i = 0; i < plan.files.size(); ++i) {
      const BoardFile& f = plan.files[i];
      if (f.layer != 0 && f.drawing && f.role->role == role) return i;
    }
    return std::nullopt;
  };
  for (LayerRole role : {LayerRole::Outline, LayerRole::TopCopper, LayerRole::BottomCopper}) {
    if (auto i = drawn(role)) return i;
  }
  std::optional<size_t> lowest;
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const BoardFile& f = plan.files[i];
    if (f.layer != 0 && f.drawing && (!lowest || f.layer < plan.files[*lowest].layer)) lowest = i;
  }
  return lowest;
}

std::vector<fs::path> filesBelow(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, ec), end;
  if (ec) throw IoError(folder.string() + ": cannot read the folder: " + ec.message());
  for (; it != end; it.increment(ec)) {
    if (ec) throw IoError(folder.string() + ": cannot read the folder: " + ec.message());
    if (it->is_regular_file(ec)) files.push_back(it->path());
  }
  return files;
}

}  // namespace

// Board import - Drill files
// ============================================================================

bool hasDrillHeader(std::string_view bytes) {
  for (std::string_view line : headerLines(bytes.substr(0, 4096), 64)) {
    // Comments, and a rewind stop before the header (Eagle writes one).
    if (line.front() == ';' || line == "%") continue;
    return startsWith(line, "M48") && (line.size() == 3 || trimSpaces(line.substr(3)).empty() ||
                                       trimSpaces(line.substr(3)).front() == ';');
  }
  return false;
}

bool isDrillFile(const fs::path& file) {
  // Asked for every copy of a board and by every output: each version of a
  // file (its stamp) is looked into once.
  static std::mutex mutex;
  static std::map<std::string, std::pair<FileStamp, bool>> seen;
  const FileStamp stamp = fileStamp(file);
  {
    std::lock_guard lock(mutex);
    if (auto it = seen.find(file.string()); it != seen.end() && it->second.first == stamp) {
      return it->second.second;
    }
  }
  std::ifstream in(file, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  const bool drill = hasDrillHeader(head);
  std::lock_guard lock(mutex);
  if (seen.size() >= 4096) seen.clear();
  seen[file.string()] = {stamp, drill};
  return drill;
}

std::string boardDrillFile(const Job& job, const Board& board) {
  for (const std::string& file : board.LayerGerber) {
    if (!file.empty() && isDrillFile(job.resolvePath(file))) return job.resolvePath(file).string();
  }
  return {};
}

std::string offeredDrillFile(const Job& job) {
  for (auto board = job.boards.rbegin(); board != job.boards.rend(); ++board) {
    if (board->Selected) {
      if (std::string file = boardDrillFile(job, *board); !file.empty()) return file;
      break;
    }
  }
  for (const Board& board : job.boards) {
    if (std::string file = boardDrillFile(job, board); !file.empty()) return file;
  }
  return {};
}

// Board import - Planning
// ============================================================================

size_t BoardImportPlan::placedCount() const {
  return static_cast<size_t>(
      std::count_if(files.begin(), files.end(), [](const BoardFile& f) { return f.layer != 0; }));
}

std::string BoardImportPlan::missingUsualLayers() const {
  std::string text;
  for (LayerRole role :
       {LayerRole::TopCopper, LayerRole::BottomCopper, LayerRole::TopMask, LayerRole::BottomMask,
        LayerRole::TopSilk, LayerRole::Outline, LayerRole::Drill}) {
    const bool found = std::any_of(files.begin(), files.end(), [role](const BoardFile& f) {
      return f.role && f.role->role == role && f.reason.empty();
    });
    if (!found) text += (text.empty() ? "" : ", ") + roleName(BoardRole{role, 0});
  }
  return text;
}

std::string BoardImportPlan::contestedRoles() const {
  std::map<std::string, std::string> byRole;
  for (const BoardFile& f : files) {
    if (!f.contested) continue;
    std::string& names = byRole[roleName(*f.role)];
    names += (names.empty() ? "" : ", ") + f.name;
  }
  std::string text;
  for (const auto& [role, names] : byRole) text += (text.empty() ? "" : "; ") + role + ": " + names;
  return text;
}

BoardImportPlan planBoardImport(const fs::path& source, const DataFormat& format,
                                const LayerMap& map, const fs::path& unpackFolder,
                                uint64_t budgetBytes) {
  BoardImportPlan plan;
  plan.source = source;
  std::error_code ec;
  std::vector<fs::path> files;
  if (fs::is_directory(source, ec)) {
    plan.folder = source;
    files = filesBelow(source);
  } else if (isZipFile(source)) {
    plan.folder = unpackFolder.empty() ? defaultUnpackFolder(source) : unpackFolder;
    UnpackedZip unpacked = unpackZip(source, plan.folder);
    files = std::move(unpacked.files);
    plan.unpacked = std::move(unpacked.made);
    for (UnpackedZip::LeftOut& entry : unpacked.leftOut) {
      BoardFile f;
      f.file = plan.folder / entry.name;
      f.name = std::move(entry.name);
      f.reason = std::move(entry.reason);
      plan.files.push_back(std::move(f));
    }
  } else {
    throw IoError(source.string() + ": neither a folder nor a zip file");
  }
  for (const fs::path& file : files) {
    BoardFile f;
    f.file = file;
    f.name = file.lexically_relative(plan.folder).generic_string();
    classify(f, format, map, budgetBytes);
    plan.files.push_back(std::move(f));
  }
  std::sort(plan.files.begin(), plan.files.end(),
            [](const BoardFile& a, const BoardFile& b) { return a.name < b.name; });
  place(plan, map);
  plan.master = chooseMaster(plan);
  return plan;
}

// Board import - Adding the board
// ============================================================================

std::string importProblem(const BoardImportPlan& plan) {
  if (const std::string contested = plan.contestedRoles(); !contested.empty()) {
    return plan.source.string() + ": files of more than one board? " + contested +
           ": nothing imported; import one board's files at a time";
  }
  if (!plan.master) {
    return plan.source.string() + ": no file of a board's layers found (" +
           std::to_string(plan.files.size()) +
           " files, none placed with data to draw); name their roles with patterns in the "
           "settings' [LayerMap] (or add-board --map PATTERN=ROLE)";
  }
  return {};
}

size_t addImportedBoard(Job& job, const BoardImportPlan& plan,
                        const std::function<std::string(const fs::path&)>& storedName) {
  if (const std::string problem = importProblem(plan); !problem.empty()) throw FormatError(problem);
  LayerFiles layers;
  std::string master;
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const BoardFile& f = plan.files[i];
    if (f.layer == 0) continue;
    std::string stored = storedName(f.file);
    if (stored.size() > kMaxFileNameChars) {
      throw FormatError(stored + ": a job file holds file names of at most 250 characters");
    }
    if (i == *plan.master) master = stored;
    layers[static_cast<size_t>(f.layer - 1)] = std::move(stored);
  }
  const size_t index = job.createBoard(master, plan.files[*plan.master].extents);
  Board& board = job.boards[index];
  board.LayerGerber = layers;
  job.panel.show(board);
  return index;
}

// Board import - The table
// ============================================================================

std::string placementNote(const BoardImportPlan& plan, size_t index) {
  const BoardFile& f = plan.files.at(index);
  if (f.layer == 0) return "not placed: " + f.reason;
  std::string note = toString(*f.source);
  if (*f.source == RoleSource::FileFunction) note += " " + f.fileFunction;
  if (*f.source == RoleSource::NameMap) note += " " + f.pattern;
  if (plan.master == index) note += "; sizes the board";
  return note;
}

std::string importTable(const BoardImportPlan& plan) {
  size_t nameWidth = 4, roleWidth = 4;
  for (const BoardFile& f : plan.files) {
    nameWidth = std::max(nameWidth, f.name.size());
    if (f.role) roleWidth = std::max(roleWidth, roleName(*f.role).size());
  }
  auto pad = [](std::string text, size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
  };
  std::string out = pad("File", nameWidth) + "  " + pad("Role", roleWidth) + "  Layer\n";
  for (bool placed : {true, false}) {
    for (size_t i = 0; i < plan.files.size(); ++i) {
      const BoardFile& f = plan.files[i];
      if ((f.layer != 0) != placed) continue;
      out += pad(f.name, nameWidth) + "  " + pad(f.role ? roleName(*f.role) : "-", roleWidth) +
             "  " + pad(f.layer ? std::to_string(f.layer) : "-", 5) + "  " +
             placementNote(plan, i) + "\n";
    }
  }
  return out;
}

}  // namespace drumplot
