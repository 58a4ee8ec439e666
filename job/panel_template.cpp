// SPDX-License-Identifier: MIT
// Reading and writing panel templates: every line is known or refused.
#include "job/panel_template.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "engine/errors.h"
#include "engine/text.h"
#include "io/file_io.h"
#include "job/free_place.h"
#include "job/ini_document.h"
#include "job/marks.h"
#include "job/panelize.h"

namespace drumplot {

namespace {

constexpr const char* kCornerNames[] = {"left-top", "right-top", "left-bottom", "right-bottom"};
constexpr const char* kTechKeys[] = {"Distance", "Left", "Right", "Top", "Bottom"};
constexpr double kMaxPlaceInches = 1000.0;  // as far as a job file places a board
constexpr double kMaxGap_mm = 1000.0;
constexpr double kMaxDrillOffsetInches = 100.0;

// "Mark3" -> 3 for the prefix "mark", within 1..last; 0 when it is not one.
int numberedSection(const std::string& lower, std::string_view prefix, int last) {
  if (!startsWith(lower, prefix)) return 0;
  const std::optional<long long> n = parseInteger(std::string_view(lower).substr(prefix.size()));
  return n && *n >= 1 && *n <= last && isDigit(lower[prefix.size()]) ? static_cast<int>(*n) : 0;
}

// The film keys of [Film] or a [LayerN], each over what lies below when given.
struct FilmOverride {
  std::optional<std::string> format;
  std::optional<int> dpi;
  std::optional<bool> mirror, negative;
};

TemplateFilm overlaid(TemplateFilm film, const FilmOverride& o) {
  if (o.format) film.format = *o.format;
  if (o.dpi) film.dpi = *o.dpi;
  if (o.mirror) film.mirror = *o.mirror;
  if (o.negative) film.negative = *o.negative;
  return film;
}

// PanelTemplate - Reading
// ============================================================================

class TemplateReader {
 public:
  explicit TemplateReader(std::string file) : file_(std::move(file)) {}

  PanelTemplate read(const IniDocument& ini) {
    for (const IniLine& line : ini.lines()) {
      line_ = &line;
      if (line.opensSection) {
        openSection(line.section);
      } else if (!line.key) {
        fail("'" + line.text + "' is no [Section], key=value or comment line");
      } else if (section_.empty()) {
        fail(*line.key + ": a key before the first [Section]");
      } else {
        readKey(lowerCase(*line.key), line.value);
      }
    }
    t_.film = overlaid(TemplateFilm{}, film_);
    for (size_t i = 0; i < overrides_.size(); ++i) {
      if (overrides_[i]) t_.layerFilms[i] = overlaid(t_.film, *overrides_[i]);
    }
    for (const auto& [number, mark] : marks_) {
      if (mark.file.empty()) {
        line_ = &markLines_[number];
        fail("[Mark" + std::to_string(number) + "] names no File");
      }
      t_.marks.push_back(mark);
    }
    return t_;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw FormatError(file_ + ":" + std::to_string(line_->number) + ": " + what);
  }
  [[noreturn]] void badValue(const std::string& expected) const {
    fail(*line_->key + "=" + line_->value + ": expected " + expected);
  }

  void openSection(const std::string& name) {
    section_ = lowerCase(name);
    if (section_ == "panel" || section_ == "techarea" || section_ == "film" ||
        section_ == "drill") {
      return;
    }
    if (const int n = numberedSection(section_, "mark", kMarkCount)) {
      markLines_[n] = *line_;
      marks_[n];
      return;
    }
    if (numberedSection(section_, "layer", kLayerCount)) return;
    fail("[" + name + "]: no such section (Panel, Mark1..Mark10, TechArea, Film, Layer1..Layer" +
         std::to_string(kLayerCount) + ", Drill)");
  }

  void readKey(const std::string& key, const std::string& value) {
    if (!seen_.insert({section_ + "/" + key, line_->number}).second) {
      fail(*line_->key + ": given twice in [" + line_->section + "] (first on line " +
           std::to_string(seen_[section_ + "/" + key]) + ")");
    }
    if (section_ == "panel") return readPanel(key, value);
    if (section_ == "techarea") return readTechArea(key, value);
    if (section_ == "film") return readFilm(key, value);
    if (section_ == "drill") return readDrill(key, value);
    if (const int n = numberedSection(section_, "mark", kMarkCount)) {
      return readMark(marks_[n], key, value);
    }
    auto& o = overrides_[static_cast<size_t>(numberedSection(section_, "layer", kLayerCount) - 1)];
    if (!o) o.emplace();
    if (!readFilmKey(key, value, *o)) unknownKey();
  }

  [[noreturn]] void unknownKey() const {
    fail(*line_->key + ": no such key in [" + line_->section + "]");
  }

  // Values
  // --------------------------------------------------------------------------

  double number(const std::string& text, double low, double high, const std::string& what) const {
    const std::optional<double> v = parseDecimal(text);
    if (!v || *v < low || *v > high) badValue(what);
    return *v;
  }
  std::pair<double, double> pair(const std::string& text, double low, double high,
                                 const std::string& what) const {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) badValue(what);
    return {number(text.substr(0, comma), low, high, what),
            number(text.substr(comma + 1), low, high, what)};
  }
  bool onOff(const std::string& text) const {
    const std::string v = lowerCase(text);
    if (v == "on" || v == "yes" || v == "true" || v == "1") return true;
    if (v == "off" || v == "no" || v == "false" || v == "0") return false;
    badValue("on or off");
  }

  // Sections
  // --------------------------------------------------------------------------

  void readPanel(const std::string& key, const std::string& value) {
    if (key == "first") {
      if (lowerCase(value) == "first-free") {
        t_.firstAt.reset();
      } else {
        t_.firstAt = pair(value, -kMaxPlaceInches, kMaxPlaceInches,
                          "first-free or X,Y in inches (the board's left-top corner)");
      }
    } else if (key == "grid") {
      readGrid(value);
    } else if (key == "gap") {
      std::tie(t_.gapX_mm, t_.gapY_mm) =
          pair(value, 0.0, kMaxGap_mm, "DX,DY in millimetres, 0..1000");
    } else {
      unknownKey();
    }
  }

  void readGrid(const std::string& value) {
    if (lowerCase(value) == "fit") {
      t_.fit = true;
      return;
    }
    const size_t x = value.find_first_of("xX");
    const std::optional<long long> cols =
        x == std::string::npos ? std::nullopt : parseInteger(value.substr(0, x));
    const std::optional<long long> rows =
        x == std::string::npos ? std::nullopt : parseInteger(value.substr(x + 1));
    if (!cols || !rows || *cols < 1 || *rows < 1 || *cols > 101 || *rows > 101)
      badValue("fit or COLSxROWS, each 1..101 (2x2 is four boards)");
    t_.fit = false;
    t_.columns = static_cast<int>(*cols);
    t_.rows = static_cast<int>(*rows);
  }

  void readMark(TemplateMark& mark, const std::string& key, const std::string& value) {
    if (key == "file") {
      if (value.empty()) badValue("the mark's Gerber file");
      mark.file = value;
    } else if (key == "corner") {
      const auto* found =
          std::find(std::begin(kCornerNames), std::end(kCornerNames), lowerCase(value));
      if (found == std::end(kCornerNames))
        badValue("left-top, right-top, left-bottom or right-bottom");
      mark.corner = static_cast<PanelCorner>(found - std::begin(kCornerNames));
    } else if (key == "offset") {
      std::tie(mark.offsetX_mm, mark.offsetY_mm) =
          pair(value, -kMaxGap_mm, kMaxGap_mm, "DX,DY in millimetres from the corner");
    } else {
      unknownKey();
    }
  }

  void readTechArea(const std::string& key, const std::string& value) {
    if (key == "use") {
      t_.techAreaOn = onOff(value);
      return;
    }
    for (size_t i = 0; i < std::size(kTechKeys); ++i) {
      if (key != lowerCase(kTechKeys[i])) continue;
      t_.techArea_mm[i] = number(value, 0.0, kMaxGap_mm, "millimetres, 0..1000");
      return;
    }
    unknownKey();
  }

  // A film key of [Film] or [LayerN]; false when `key` is none.
  bool readFilmKey(const std::string& key, const std::string& value, FilmOverride& film) {
    if (key == "format") {
      const std::string v = lowerCase(value);
      if (v != "fpf" && v != "tiff" && v != "tif" && v != "bmp") badValue("fpf, tiff or bmp");
      film.format = v == "tif" ? "tiff" : v;
    } else if (key == "dpi") {
      const std::optional<long long> v = parseInteger(value);
      if (!v || *v < 100 || *v > 65535) badValue("a whole number of dots per inch, 100..65535");
      film.dpi = static_cast<int>(*v);
    } else if (key == "mirror") {
      film.mirror = onOff(value);
    } else if (key == "negative") {
      film.negative = onOff(value);
    } else {
      return false;
    }
    return true;
  }

  void readFilm(const std::string& key, const std::string& value) {
    if (key == "layers") return readLayers(value);
    if (key == "scalexppm" || key == "scaleyppm") {
      const double ppm =
          number(value, -kMaxFilmScalePpm, kMaxFilmScalePpm, "parts per million, -5000..5000");
      (key == "scalexppm" ? t_.filmScaleX_ppm : t_.filmScaleY_ppm) = ppm;
      return;
    }
    if (!readFilmKey(key, value, film_)) unknownKey();
  }

  void readLayers(const std::string& value) {
    t_.layers.clear();
    if (lowerCase(value) == "all") return;
    std::stringstream in(value);
    for (std::string item; std::getline(in, item, ',');) {
      const std::optional<long long> n = parseInteger(trimSpaces(item));
      if (!n || *n < 1 || *n > kLayerCount)
        badValue("all, or layer numbers 1.." + std::to_string(kLayerCount) +
                 " separated by commas");
      if (std::find(t_.layers.begin(), t_.layers.end(), *n) == t_.layers.end())
        t_.layers.push_back(static_cast<int>(*n));
    }
    if (t_.layers.empty()) badValue("all, or layer numbers");
    std::sort(t_.layers.begin(), t_.layers.end());
  }

  void readDrill(const std::string& key, const std::string& value) {
    if (key == "plated") {
      t_.platedDrill = onOff(value);
    } else if (key == "nonplated") {
      t_.nonPlatedDrill = onOff(value);
    } else if (key == "offset") {
      t_.drillOffset =
          pair(value, -kMaxDrillOffsetInches, kMaxDrillOffsetInches, "DX,DY in inches, -100..100");
    } else {
      unknownKey();
    }
  }

  std::string file_;
  const IniLine* line_ = nullptr;
  std::string section_;  // lower case
  std::map<std::string, size_t> seen_;
  PanelTemplate t_;
  std::map<int, TemplateMark> marks_;
  std::map<int, IniLine> markLines_;
  FilmOverride film_;                                               // [Film]
  std::array<std::optional<FilmOverride>, kLayerCount> overrides_;  // [LayerN]
};

}  // namespace

PanelTemplate parsePanelTemplate(std::string_view text, const std::string& file) {
  return TemplateReader(file).read(IniDocument::parse(text));
}

PanelTemplate readPanelTemplate(const std::filesystem::path& file) {
  return parsePanelTemplate(readFileBytes(file), file.string());
}

// PanelTemplate - Writing
// ============================================================================

namespace {

// The shortest text that reads back as the same double.
std::string numberText(double v) {
  char text[32];
  for (int digits = 6; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, v);
    if (std::strtod(text, nullptr) == v) break;
  }
  return text;
}

std::string pairText(double a, double b) {
  return numberText(a) + "," + numberText(b);
}

// A value as a line holds it: one that begins with a quote, or begins or
// ends with a blank, is quoted once more, since the reader takes blanks and
// a pair of quotes around a value off.
std::string valueText(const std::string& value) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  const bool quoted = !value.empty() && (value.front() == '"' || value.front() == '\'' ||
                                         blank(value.front()) || blank(value.back()));
  return quoted ? '"' + value + '"' : value;
}

const char* onOffText(bool on) {
  return on ? "on" : "off";
}

void filmKeys(std::ostream& out, const TemplateFilm& f) {
  out << "Format=" << f.format << "\nDpi=" << f.dpi << "\nMirror=" << onOffText(f.mirror)
      << "\nNegative=" << onOffText(f.negative) << "\n";
}

}  // namespace

std::string panelTemplateText(const PanelTemplate& t) {
  std::ostringstream out;
  out << "; drumplot panel template: drumplot-cli plot BOARD --template THIS.ini\n"
      << "\n[Panel]\n; the first board's left-top corner X,Y in inches, or first-free\n"
      << "First=" << (t.firstAt ? pairText(t.firstAt->first, t.firstAt->second) : "first-free")
      << "\n; COLSxROWS (the board counted), or fit: as many as fit\n"
      << "Grid=" << (t.fit ? "fit" : std::to_string(t.columns) + "x" + std::to_string(t.rows))
      << "\n; between neighbours DX,DY, millimetres\nGap=" << pairText(t.gapX_mm, t.gapY_mm)
      << "\n";
  for (size_t i = 0; i < t.marks.size(); ++i) {
    const TemplateMark& m = t.marks[i];
    out << "\n[Mark" << i + 1 << "]\nFile=" << valueText(m.file)
        << "\n; its target at DX,DY millimetres from this corner of the panel\nCorner="
        << kCornerNames[static_cast<size_t>(m.corner)]
        << "\nOffset=" << pairText(m.offsetX_mm, m.offsetY_mm) << "\n";
  }
  out << "\n[TechArea]\n; the frame of strips around the panel, drawn or not\nUse="
      << onOffText(t.techAreaOn) << "\n; millimetres (a size left out: the settings')\n";
  for (size_t i = 0; i < std::size(kTechKeys); ++i) {
    if (t.techArea_mm[i]) out << kTechKeys[i] << "=" << numberText(*t.techArea_mm[i]) << "\n";
  }
  out << "\n[Film]\n; all, or layer numbers 1,2,...\nLayers=";
  if (t.layers.empty()) out << "all";
  for (size_t i = 0; i < t.layers.size(); ++i) out << (i ? "," : "") << t.layers[i];
  out << "\n; fpf, tiff or bmp\n";
  filmKeys(out, t.film);
  if (t.filmScaleX_ppm) out << "ScaleXppm=" << numberText(*t.filmScaleX_ppm) << "\n";
  if (t.filmScaleY_ppm) out << "ScaleYppm=" << numberText(*t.filmScaleY_ppm) << "\n";
  for (int n = 1; n <= kLayerCount; ++n) {
    if (const auto& f = t.layerFilms[static_cast<size_t>(n - 1)]) {
      out << "\n[Layer" << n << "]\n";
      filmKeys(out, *f);
    }
  }
  out << "\n[Drill]\nPlated=" << onOffText(t.platedDrill)
      << "\nNonPlated=" << onOffText(t.nonPlatedDrill)
      << "\n; added to every board hit, DX,DY inches\nOffset="
      << pairText(t.drillOffset.first, t.drillOffset.second) << "\n";
  return out.str();
}

void writePanelTemplate(const std::filesystem::path& file, const PanelTemplate& t) {
  writeFileAtomically(file, panelTemplateText(t));
}

// PanelTemplate - Settings of a run
// ============================================================================

void applyPanelTemplate(const PanelTemplate& t, JobSettings& settings) {
  double* tech[] = {&settings.tech.distance_mm, &settings.tech.left_mm, &settings.tech.right_mm,
                    &settings.tech.top_mm, &settings.tech.bottom_mm};
  for (size_t i = 0; i < std::size(tech); ++i) {
    if (t.techArea_mm[i]) *tech[i] = *t.techArea_mm[i];
  }
  if (t.filmScaleX_ppm) settings.filmScale.xPpm = *t.filmScaleX_ppm;
  if (t.filmScaleY_ppm) settings.filmScale.yPpm = *t.filmScaleY_ppm;
  // A settings scale that could not be read no longer matters once the
  // template states both axes.
  if (t.filmScaleX_ppm && t.filmScaleY_ppm) settings.filmScaleError.clear();
}

// PanelTemplate - Placing a board
// ============================================================================

namespace {

bool onRight(PanelCorner c) {
  return c == PanelCorner::RightTop || c == PanelCorner::RightBottom;
}
bool onBottom(PanelCorner c) {
  return c == PanelCorner::LeftBottom || c == PanelCorner::RightBottom;
}

// How far the marks reach beyond the panel on each side, inches.
struct MarkMargins {
  double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
};

MarkMargins markMargins(const Job& job, const PanelTemplate& t, const std::vector<size_t>& marks) {
  MarkMargins m;
  for (size_t i = 0; i < marks.size(); ++i) {
    const Board& mark = job.boards[marks[i]];
    const double dx = t.marks[i].offsetX_mm / kMillimetresPerInch;
    const double dy = t.marks[i].offsetY_mm / kMillimetresPerInch;
    const double halfW = mark.DataWidth / 2, halfH = mark.DataHeight / 2;
    if (onRight(t.marks[i].corner)) {
      m.right = std::max(m.right, dx + halfW);
    } else {
      m.left = std::max(m.left, halfW - dx);
    }
    if (onBottom(t.marks[i].corner)) {
      m.bottom = std::max(m.bottom, dy + halfH);
    } else {
      m.top = std::max(m.top, halfH - dy);
    }
  }
  return m;
}

}  // namespace

std::filesystem::path templateMarkFile(const TemplateMark& mark,
                                       const std::filesystem::path& templateFile) {
  std::filesystem::path file = mark.file;
  if (file.is_relative()) file = templateFile.parent_path() / file;
  return std::filesystem::absolute(file).lexically_normal();
}

namespace {

// Inserts the template's marks (waiting at the far corner) under the names
// of their files.
std::vector<size_t> insertTemplateMarks(Job& job, const PanelTemplate& t,
                                        const std::filesystem::path& templateFile) {
  std::vector<size_t> marks;
  const MarkTable table = job.settings.marks;
  for (const TemplateMark& m : t.marks) {
    const std::filesystem::path file = templateMarkFile(m, templateFile);
    job.settings.marks = {};
    job.settings.marks[0] = {cutText(file.stem().string(), kMaxMarkChars), file.string()};
    size_t index = 0;
    const MarkInsertResult result = insertMark(job, 0, &index);
    job.settings.marks = table;
    if (result != MarkInsertResult::Inserted) {
      throw FormatError(templateFile.string() + ": mark file " + file.string() +
                        " is missing or shorter than 10 bytes");
    }
    marks.push_back(index);
  }
  return marks;
}

}  // namespace

TemplatePanel placeByTemplate(Job& job, size_t index, const PanelTemplate& t,
                              const std::filesystem::path& templateFile) {
  const std::vector<Board> before = job.boards;
  try {
    TemplatePanel panel;
    panel.marks = insertTemplateMarks(job, t, templateFile);
    const MarkMargins margin = markMargins(job, t, panel.marks);
    if (t.firstAt) {
      job.moveTo(index, t.firstAt->first, t.firstAt->second);
    } else if (const auto place = firstFreePlace(job, index)) {
      job.moveTo(index, place->first + margin.left, place->second + margin.top);
    } else {
      throw FormatError(templateFile.string() +
                        ": the board fits nowhere free on the plotting area");
    }
    // The panel, its marks and the tech area's strips all lie on the plotting area.
    const TechArea& tech = job.settings.tech;
    const double techX =
        t.techAreaOn ? (tech.left_mm + tech.right_mm + 2 * tech.distance_mm) / kMillimetresPerInch
                     : 0.0;
    const double techY =
        t.techAreaOn ? (tech.top_mm + tech.bottom_mm + 2 * tech.distance_mm) / kMillimetresPerInch
                     : 0.0;
    const PanelizeRequest request{0, 0, t.gapX_mm, t.gapY_mm};
    const int wantColumns = t.fit ? 101 : t.columns, wantRows = t.fit ? 101 : t.rows;
    const PanelCells fit = fittingCells(job, index, request, wantColumns, wantRows,
                                        job.settings.PlotWidth - techX - margin.right,
                                        job.settings.PlotHeight - techY - margin.bottom);
    if (fit.columns == 0 || fit.rows == 0 ||
        (!t.fit && (fit.columns < t.columns || fit.rows < t.rows))) {
      throw FormatError(templateFile.string() + ": " +
                        (t.fit ? std::string("Grid=fit finds no place for a board")
                               : "a panel of " + std::to_string(t.columns) + "x" +
                                     std::to_string(t.rows) + " boards does not fit") +
                        ": " + std::to_string(fit.columns) + "x" + std::to_string(fit.rows) +
                        " lie on the plotting area less the tech area and the marks");
    }
    panel.columns = fit.columns;
    panel.rows = fit.rows;
    job.selectBoard(index);
    panelize(job, {panel.columns - 1, panel.rows - 1, t.gapX_mm, t.gapY_mm});
    // The marks after the copies, as when they are inserted into a panel.
    if (!panel.marks.empty()) {
      const auto first = job.boards.begin() + static_cast<std::ptrdiff_t>(panel.marks.front());
      std::rotate(first, first + static_cast<std::ptrdiff_t>(panel.marks.size()), job.boards.end());
      for (size_t i = 0; i < panel.marks.size(); ++i)
        panel.marks[i] = job.boards.size() - panel.marks.size() + i;
    }

    const Board& b = job.boards[index];
    const double left = b.PosX, top = b.PosY;
    const double right =
        left + panel.columns * b.DataWidth + (panel.columns - 1) * t.gapX_mm / kMillimetresPerInch;
    const double bottom =
        top + panel.rows * b.DataHeight + (panel.rows - 1) * t.gapY_mm / kMillimetresPerInch;
    for (size_t i = 0; i < panel.marks.size(); ++i) {
      const TemplateMark& m = t.marks[i];
      const Board& mark = job.boards[panel.marks[i]];
      const double x = (onRight(m.corner) ? right : left) + m.offsetX_mm / kMillimetresPerInch;
      const double y = (onBottom(m.corner) ? bottom : top) + m.offsetY_mm / kMillimetresPerInch;
      job.moveTo(panel.marks[i], x - mark.DataWidth / 2, y - mark.DataHeight / 2);
    }
    return panel;
  } catch (...) {
    job.boards = before;
    throw;
  }
}

// PanelTemplate - Of a job
// ============================================================================

namespace {

// Millimetres from inches, to the nanometre: what a person reads and writes.
double roundedMm(double inches) {
  return std::round(inches * kMillimetresPerInch * 1e6) / 1e6;
}

// The distinct values, sorted, of positions that a panel places exactly.
std::vector<double> distinctSorted(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end(),
                           [](double a, double b) { return std::abs(a - b) < 1e-9; }),
               values.end());
  return values;
}

}  // namespace

PanelTemplate templateOfJob(const Job& job) {
  const auto refuse = [&job](const std::string& why) {
    return FormatError(job.JobName + ": " + why + "; a template holds one board's panel");
  };
  const Board* source = nullptr;
  std::vector<double> xs, ys;
  for (const Board& b : job.boards) {
    if (b.IsMark) continue;
    if (!source) source = &b;
    if (b.LayerGerber != source->LayerGerber) throw refuse("boards of different files");
    xs.push_back(b.PosX);
    ys.push_back(b.PosY);
  }
  if (!source) throw refuse("no board but marks");
  PanelTemplate t;
  t.firstAt = {source->PosX, source->PosY};
  const std::vector<double> columns = distinctSorted(xs), rows = distinctSorted(ys);
  t.columns = static_cast<int>(columns.size());
  t.rows = static_cast<int>(rows.size());
  if (columns.front() != source->PosX || rows.front() != source->PosY ||
      static_cast<size_t>(t.columns) * static_cast<size_t>(t.rows) != xs.size()) {
    throw refuse("the boards are no grid from the first one");
  }
  if (t.columns > 1) t.gapX_mm = roundedMm(columns[1] - columns[0] - source->DataWidth);
  if (t.rows > 1) t.gapY_mm = roundedMm(rows[1] - rows[0] - source->DataHeight);
  if (t.gapX_mm < 0 || t.gapY_mm < 0) throw refuse("the boards overlap");
  for (const Board& b : job.boards) {
    if (!b.IsMark) continue;
    TemplateMark mark;
    mark.file = job.resolvePath(b.LayerGerber[0]).lexically_normal().string();
    mark.offsetX_mm = roundedMm(b.PosX + b.DataWidth / 2 - source->PosX);
    mark.offsetY_mm = roundedMm(b.PosY + b.DataHeight / 2 - source->PosY);
    t.marks.push_back(mark);
  }
  const TechArea& tech = job.settings.tech;
  t.techArea_mm = {tech.distance_mm, tech.left_mm, tech.right_mm, tech.top_mm, tech.bottom_mm};
  return t;
}

}  // namespace drumplot
