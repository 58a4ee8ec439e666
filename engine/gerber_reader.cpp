// SPDX-License-Identifier: MIT
#include "engine/gerber_reader.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <span>
#include <vector>

#include "engine/aperture_macro.h"
#include "engine/errors.h"
#include "engine/text.h"

namespace drumplot {

const char* toString(LoadStatus status) {
  switch (status) {
    case LoadStatus::Ok:
      return "loaded";
    case LoadStatus::NameTooShort:
      return "file name shorter than 3 characters";
    case LoadStatus::CannotOpen:
      return "cannot open the file";
    case LoadStatus::TooShort:
      return "file shorter than 5 bytes";
    case LoadStatus::NotGerber:
      return "not a Gerber file (it holds binary data)";
  }
  return "unknown";
}

void throwIfUnreadable(LoadStatus status, const std::string& fileName) {
  if (status == LoadStatus::CannotOpen || status == LoadStatus::NameTooShort) {
    throw IoError(fileName + ": " + toString(status));
  }
  if (status == LoadStatus::NotGerber) throw FormatError(fileName + ": " + toString(status));
}

GerberReader::GerberReader(DataFormat preset, StatementLimits limits)
    : format(preset),
      UnitScale(preset.unitScale()),
      Statements(limits),
      preset_(preset),
      limits_(limits) {}

namespace {

// Whether text read a block at a time holds binary data. Old files end with
// a DOS end-of-file mark or are padded with zero bytes to a whole block, so
// a run of those and line ends is judged only once text follows it;
// comments may hold any 8-bit text, but not much.
class BinaryTest {
 public:
  void feed(std::string_view bytes) {
    for (const char ch : bytes) {
      const auto c = static_cast<unsigned char>(ch);
      if (c == '\x1A' || c == '\0' || c == '\n' || c == '\r') {
        ++trailing_;
        trailingControl_ = trailingControl_ || c == '\x1A' || c == '\0';
        continue;
      }
      control_ = control_ || trailingControl_;
      text_ += trailing_ + 1;
      trailing_ = 0;
      trailingControl_ = false;
      if (c >= 0x80)
        ++high_;
      else if ((c < 32 && c != '\t' && c != '\f') || c == 0x7F)
        control_ = true;
    }
  }
  bool binary() const { return control_ || high_ * 10 > text_; }

 private:
  uint64_t text_ = 0, high_ = 0, trailing_ = 0;
  bool trailingControl_ = false, control_ = false;
};

// Cuts Gerber text into statements as it comes: "*" ends a statement, "%"
// opens and closes parameter blocks, line ends only count lines.
class StatementCutter {
 public:
  explicit StatementCutter(StatementList& statements) : statements_(statements) {}

  void feed(std::string_view bytes) {
    for (const char ch : bytes) {
      const auto c = static_cast<unsigned char>(ch);
      if (c == '\n') ++line_;
      if (c < 32) continue;  // line ends, tabs and other control bytes
      if (c == '%') {
        // A "%" in a comment is text (X2 attributes in comments hold them).
        if (percentCount_ % 2 == 0 && startsWith(current_, "G04")) {
          append(ch);
          continue;
        }
        // Odd "%" opens a parameter block and stays on its first statement;
        // even "%" closes it and becomes a statement of its own.
        if (++percentCount_ % 2 == 1) {
          append('%');
        } else {
          if (!current_.empty()) statements_.addStatement(current_, startLine_);
          current_.clear();
          statements_.addStatement("%", line_);
        }
      } else if (c == '*') {
        append('*');
        if (current_ != "*") statements_.addStatement(current_, startLine_);
        current_.clear();
      } else {
        append(ch);
      }
    }
    // Text after the last "*" is dropped when the file ends.
  }
  uint32_t line() const { return line_; }

 private:
  void append(char c) {
    if (current_.empty()) startLine_ = line_;
    current_.push_back(c);
  }

  StatementList& statements_;
  std::string current_;
  uint32_t line_ = 1, startLine_ = 1;
  uint64_t percentCount_ = 0;
};

}  // namespace

bool looksBinary(std::string_view bytes) {
  BinaryTest test;
  test.feed(bytes);
  return test.binary();
}

// GerberReader - Load
// ============================================================================

void GerberReader::refuseTooLarge(uint32_t line) const {
  if (!Statements.tooLarge()) return;
  throw FormatError(FileName + ": line " + std::to_string(line) +
                    ": the file's statements take more than the " +
                    groupedCount(limits_.maxTextBytes / 1048576) +
                    " MB the memory setting holds; raise the memory setting (--memory)");
}

void GerberReader::loadBytes(std::string_view bytes) {
  Statements = StatementList(limits_);
  StatementCutter cutter(Statements);
  cutter.feed(bytes);
  refuseTooLarge(cutter.line());
}

namespace {

std::mutex loadsMutex;
std::map<std::string, int> loads;

void noteLoad(const std::string& file) {
  std::lock_guard lock(loadsMutex);
  ++loads[file];
}

}  // namespace

std::map<std::string, int> gerberFileLoads() {
  std::lock_guard lock(loadsMutex);
  return loads;
}

LoadStatus GerberReader::load() {
  Statements = StatementList(limits_);
  if (FileName.size() < 3) return LoadStatus::NameTooShort;
  noteLoad(FileName);
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return LoadStatus::CannotOpen;
  // Read a block at a time: the file's text is never held whole.
  StatementCutter cutter(Statements);
  BinaryTest binary;
  uint64_t size = 0;
  std::vector<char> block(size_t{1} << 16);
  while (!Statements.tooLarge() &&
         (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)) {
    const std::string_view bytes(block.data(), static_cast<size_t>(in.gcount()));
    size += bytes.size();
    binary.feed(bytes);
    cutter.feed(bytes);
  }
  if (in.bad()) return LoadStatus::CannotOpen;
  LoadStatus status = size < 5          ? LoadStatus::TooShort
                      : binary.binary() ? LoadStatus::NotGerber
                                        : LoadStatus::Ok;
  if (status != LoadStatus::Ok) {
    Statements = StatementList(limits_);
    return status;
  }
  refuseTooLarge(cutter.line());
  return status;
}

void GerberReader::prepare() {
  throwIfUnreadable(load(), FileName);
  computeExtents();
  parseDefinitions();
}

// GerberReader - Extents pass
// ============================================================================

namespace {

struct AxisExtent {
  double min = 1e39;
  double max = -1e39;

  void add(double v, bool drawing) {
    // A coordinate of exactly 0 counts only while drawing.
    if (drawing && v == 0.0) v = 0.0000001;
    if (v == 0.0) return;
    if (v > max) max = v;
    if (v < min) min = v;
  }
  // No coordinate seen on the axis: 0 to 0.35 inch.
  void settle() {
    if (min > 10000.0) {
      min = 0.0;
      max = 0.35;
    }
  }
};

// One coordinate met by the pass: its axis, value (inches, before the
// step-and-repeat offset) and whether the file was drawing there.
struct AxisValue {
  int axis;
  double value;
  bool drawing;
};

// The extents of the end points of moves, draws and flashes (aperture sizes
// and arc bulges do not count), in the image's frame. A step-and-repeat
// block is measured from its statements once: the extremes of its copies
// lie in its first two and last two copies along each axis.
class ExtentsPass {
 public:
  ExtentsPass(const GerberProgram& program, uint64_t maxCopies)
      : program_(program), image_(program.image.placement()), maxCopies_(maxCopies) {
    const Linear2& m = image_.linear;
    perAxis_ = m.xy == 0.0 && m.yx == 0.0;
  }

  void run() {
    walk(program_.ops, 0.0, 0.0, [&](const AxisValue& v, double ox, double oy) {
      add(v.axis, v.value + (v.axis == 0 ? ox : oy), v.drawing);
    });
    x_.settle();
    y_.settle();
  }

  const AxisExtent& x() const { return x_; }
  const AxisExtent& y() const { return y_; }
  bool cut() const { return cut_; }

 private:
  // Adds a value of one axis, or (when the image turns the axes into each
  // other) the whole current point.
  void add(int axis, double v, bool drawing) {
    if (perAxis_) {
      const Linear2& m = image_.linear;
      if (axis == 0)
        x_.add(m.xx * v + image_.originX, drawing);
      else
        y_.add(m.yy * v + image_.originY, drawing);
      return;
    }
    (axis == 0 ? pointX_ : pointY_) = v;
    double px = pointX_, py = pointY_;
    image_.apply(px, py);
    x_.add(px, drawing);
    y_.add(py, drawing);
  }

  template <class Sink>
  void walk(std::span<const GerberOp> ops, double ox, double oy, const Sink& sink) {
    for (size_t i = 0; i < ops.size(); ++i) {
      const GerberOp& op = ops[i];
      switch (op.kind) {
        case GerberOp::Kind::Operate: {
          if (op.dCode == 1) drawing_ = true;
          if (op.dCode == 2) drawing_ = false;
          const bool absolute = !op.has(GerberOp::kIncremental);
          if (op.has(GerberOp::kHasX)) sink({0, incX_.resolve(op.x, absolute), drawing_}, ox, oy);
          if (op.has(GerberOp::kHasY)) sink({1, incY_.resolve(op.y, absolute), drawing_}, ox, oy);
          break;
        }
        case GerberOp::Kind::RepeatBegin: {
          size_t end = i + 1;
          while (end < ops.size() && ops[end].kind != GerberOp::Kind::RepeatEnd) ++end;
          repeat(ops.subspan(i + 1, end - i - 1),
                 program_.repeats[static_cast<size_t>(ops[i].value)]);
          i = end;
          break;
        }
        case GerberOp::Kind::Stop:
          return;
        default:
          break;
      }
    }
  }

  void repeat(std::span<const GerberOp> body, const RepeatBlock& r) {
    if (r.nx < 1 || r.ny < 1) return;
    const bool incremental = std::any_of(body.begin(), body.end(), [](const GerberOp& op) {
      return op.has(GerberOp::kIncremental);
    });
    auto offsetX = [&](int64_t i) { return RepeatBlock::offset(i, r.stepX, r.unitScale); };
    auto offsetY = [&](int64_t j) { return RepeatBlock::offset(j, r.stepY, r.unitScale); };
    auto direct = [&](const AxisValue& v, double ox, double oy) {
      add(v.axis, v.value + (v.axis == 0 ? ox : oy), v.drawing);
    };
    if (incremental || !perAxis_) {
      // Every copy, in order: the running position goes on from copy to copy.
      for (int64_t i = 0; i < r.nx; ++i) {
        for (int64_t j = 0; j < r.ny; ++j) {
          if (copies_++ >= maxCopies_) {
            cut_ = true;
            return;
          }
          walk(body, offsetX(i), offsetY(j), direct);
        }
      }
      return;
    }
    walk(body, 0.0, 0.0, direct);  // copy (0, 0)
    if (r.nx * r.ny == 1) return;
    // The other copies all start with the drawing flag the first one left.
    std::vector<AxisValue> values;
    walk(body, 0.0, 0.0, [&](const AxisValue& v, double, double) { values.push_back(v); });
    // Copies after the first: i from 0 when some have j > 0, else from 1.
    const int64_t i0 = r.ny >= 2 ? 0 : 1, j0 = r.nx >= 2 ? 0 : 1;
    for (const AxisValue& v : values) {
      const int64_t lo = v.axis == 0 ? i0 : j0, hi = (v.axis == 0 ? r.nx : r.ny) - 1;
      for (int64_t k : {lo, lo + 1, hi - 1, hi}) {
        if (k < lo || k > hi) continue;
        add(v.axis, v.value + (v.axis == 0 ? offsetX(k) : offsetY(k)), v.drawing);
      }
    }
  }

  const GerberProgram& program_;
  Placement image_;
  bool perAxis_ = true;
  uint64_t maxCopies_;
  uint64_t copies_ = 0;
  bool cut_ = false;
  bool drawing_ = false;
  IncrementalAxis incX_, incY_;
  double pointX_ = 0.0, pointY_ = 0.0;
  AxisExtent x_, y_;
};

}  // namespace

void GerberReader::computeExtents() {
  CurrentAperture = 10;
  DarkPolarity = 1;
  program = decodeProgram(Statements, preset_, FileName, warnings);
  format = program.format;
  UnitScale = program.unitScale;
  // (A forced drawing still notes where the usual limit is passed.)
  Operations = countOperations(program, std::min(limits_.maxOperations, kMaxDrawnOperations));
  // (A block that flashes itself nests past the limit too: that is said
  // when it is refused.)
  if (const auto& deep = Operations.nestedTooDeep; deep && !Operations.recursiveBlock) {
    warnings.add(FileName + ": line " + std::to_string(deep->line) + ": aperture block D" +
                     std::to_string(deep->dCode) + " is flashed inside more than " +
                     std::to_string(kMaxBlockDepth) + " nested blocks: that flash draws nothing",
                 DrawingFault::NestingTooDeep);
  }

  ExtentsPass pass(program, limits_.maxRepeatCopies);  // walked copy by copy: at most these
  pass.run();
  MinX = pass.x().min, MaxX = pass.x().max, MinY = pass.y().min, MaxY = pass.y().max;
  if (pass.cut()) {
    warnings.add(FileName + ": step-and-repeat copies past " +
                 std::to_string(limits_.maxRepeatCopies) + " were not measured");
  }
  // Justification moves the image by its own extents.
  ImageStatements& image = program.image;
  auto justify = [](int mode, double offset, double& min, double& max) {
    const double shift = mode == 1 ? offset - min : mode == 2 ? -(min + max) / 2 : 0.0;
    min += shift;
    max += shift;
    return shift;
  };
  image.offsetA += justify(image.justifyA, image.justifyOffsetA, MinX, MaxX);
  image.offsetB += justify(image.justifyB, image.justifyOffsetB, MinY, MaxY);
  image.justifyA = image.justifyB = 0;
  Width = MaxX - MinX;
  Height = MaxY - MinY;
  warnAboutContent();
}

std::string GerberReader::undrawableText(uint64_t maxOperations) const {
  if (const auto& r = Operations.recursiveBlock) {
    return FileName + ": line " + std::to_string(r->line) + ": aperture block D" +
           std::to_string(r->dCode) +
           " flashes itself (directly or through other blocks): the file cannot be drawn";
  }
  if (Operations.exceeds(maxOperations)) {
    return FileName + ": line " + std::to_string(Operations.passesLimitAt) +
           ": step and repeat and aperture blocks expand the file to " +
           groupedCount(Operations.operations) + " operations (" +
           groupedCount(Operations.statements) + " statements), more than the " +
           groupedCount(maxOperations) +
           " operations a drawing takes; --force draws it all the same";
  }
  return {};
}

void GerberReader::refuseUndrawable(uint64_t maxOperations) const {
  if (std::string why = undrawableText(maxOperations); !why.empty()) throw FormatError(why);
}

void GerberReader::warnAboutContent() {
  if (Statements.truncated()) {
    warnings.add(FileName + ": only the first " + std::to_string(Statements.size()) +
                 " statements were read (the statement limit)");
  }
  if (!program.hasDrawing) {
    warnings.add(FileName + ": no draw or flash statement: the layer draws nothing");
  } else if (!program.hasEnd) {
    warnings.add(FileName + ": no M02 at the end: the file may be cut off");
  }
}

void GerberReader::parseDefinitions() {
  const auto& units = program.definitionUnits;
  std::vector<DefinitionFault> faults;
  drumplot::parseDefinitions(
      Statements, Apertures, FileName,
      [&units](size_t i) {
        auto it = units.find(i);
        return it == units.end() ? 1.0 : it->second;
      },
      &faults);
  for (const DefinitionFault& f : faults) {
    // A hostile expression can be megabytes long: the message shows its start.
    constexpr size_t kShown = 80;
    const std::string shown = f.field.size() > kShown ? f.field.substr(0, kShown) + "..." : f.field;
    warnings.add(
        FileName + ": line " + std::to_string(f.line) + ": macro " + f.macro + " (D" +
            std::to_string(f.dCode) + "): the expression '" + shown +
            (f.tooDeep ? "' nests deeper than " + std::to_string(kMaxExpressionDepth) + " levels"
                       : "' cannot be read") +
            "; it counts as 0, so the pad may lack a shape",
        f.tooDeep ? DrawingFault::NestingTooDeep : DrawingFault::UnreadableExpression);
  }
  for (const auto& [dCode, ops] : program.blocks) {
    if (dCode < 10 || dCode > ApertureTable::kMaxDCode) continue;
    Aperture& a = Apertures.define(dCode);
    a.Defined = 1;
    a.Kind = ApertureKind::Block;
  }
}

}  // namespace drumplot
