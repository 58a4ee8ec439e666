// SPDX-License-Identifier: MIT
// Decoding a Gerber file's statements into operations.
#include "engine/gerber_program.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <set>

#include "engine/errors.h"
#include "engine/text.h"

namespace drumplot {

uint64_t GerberProgram::decodedBytes() const {
  uint64_t bytes = ops.capacity() * sizeof(GerberOp) + repeats.capacity() * sizeof(RepeatBlock) +
                   transforms.capacity() * sizeof(ApertureTransform);
  for (const auto& [dCode, block] : blocks) bytes += block.capacity() * sizeof(GerberOp) + 64;
  return bytes;
}

// GerberProgram - Transforms
// ============================================================================

Linear2 ApertureTransform::linear() const {
  // Mirrored first, then rotated counterclockwise, then scaled.
  Linear2 mirror{mirrorX ? -1.0 : 1.0, 0.0, 0.0, mirrorY ? -1.0 : 1.0};
  Linear2 rotate;
  const double turns = rotation_deg / 90.0;
  if (turns == std::floor(turns)) {
    // Quarter turns are exact, so that a turned rectangle stays one.
    static constexpr double kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
    const auto q = static_cast<size_t>(((static_cast<long long>(turns) % 4) + 4) % 4);
    rotate = {kCos[q], -kSin[q], kSin[q], kCos[q]};
  } else {
    const double a = rotation_deg * std::numbers::pi / 180.0;
    rotate = {std::cos(a), -std::sin(a), std::sin(a), std::cos(a)};
  }
  Linear2 scaled = rotate * mirror;
  scaled.xx *= scale, scaled.xy *= scale, scaled.yx *= scale, scaled.yy *= scale;
  return scaled;
}

namespace {

// The axis swap, mirror and quarter turns of the image statements.
Linear2 imageTurn(const ImageStatements& s) {
  Linear2 swap = s.swapAxes ? Linear2{0, 1, 1, 0} : Linear2{};
  Linear2 mirror{s.mirrorA ? -1.0 : 1.0, 0, 0, s.mirrorB ? -1.0 : 1.0};
  ApertureTransform turn;
  turn.rotation_deg = s.rotation_deg;
  return turn.linear() * mirror * swap;
}

}  // namespace

// The order: axis select, mirror, scale, rotation, offset.
Placement ImageStatements::placement() const {
  Linear2 swap = swapAxes ? Linear2{0, 1, 1, 0} : Linear2{};
  Linear2 mirror{mirrorA ? -1.0 : 1.0, 0, 0, mirrorB ? -1.0 : 1.0};
  Linear2 scale{scaleA, 0, 0, scaleB};
  ApertureTransform turn;
  turn.rotation_deg = rotation_deg;
  return {turn.linear() * scale * mirror * swap, offsetA, offsetB};
}

Linear2 ImageStatements::apertureLinear() const {
  return imageTurn(*this);
}

double RepeatBlock::offset(int64_t k, double step, double unitScale) {
  // Six decimals of the file unit, as the block's copies have always been placed.
  return std::nearbyint(static_cast<double>(k) * step * 1e6) / 1e6 * unitScale;
}

// GerberProgram - Decoding
// ============================================================================

namespace {

// The parameter codes this reader knows, with or without their "%".
bool isParameter(std::string_view s, std::string_view code) {
  if (!s.empty() && s[0] == '%') s.remove_prefix(1);
  return startsWith(s, code);
}

std::string_view parameterBody(std::string_view s) {
  if (!s.empty() && s[0] == '%') s.remove_prefix(1);
  if (!s.empty() && s.back() == '*') s.remove_suffix(1);
  return s;
}

// The decimal number right after `letter` in `s` (signs, digits and a point).
std::optional<double> numberAfter(std::string_view s, char letter) {
  size_t p = s.find(letter);
  if (p == std::string_view::npos) return std::nullopt;
  size_t end = p + 1;
  while (end < s.size() && (s[end] == '+' || s[end] == '-' || s[end] == '.' || isDigit(s[end]))) {
    ++end;
  }
  return parseDecimal(s.substr(p + 1, end - p - 1));
}

// The leading count after `letter`, 1 when none is given.
long long countAfter(std::string_view s, char letter) {
  size_t p = s.find(letter);
  if (p == std::string_view::npos) return 1;
  size_t end = p + 1;
  while (end < s.size() && isDigit(s[end])) ++end;
  if (end == p + 1) return 1;
  // Counts beyond any real panel saturate.
  return parseInteger(s.substr(p + 1, std::min<size_t>(end - p - 1, 12))).value_or(0);
}

bool isUnitStatement(std::string_view s) {
  return startsWith(s, "G70") || startsWith(s, "G71") || isParameter(s, "MOIN") ||
         isParameter(s, "MOMM");
}

bool isAbsoluteStatement(std::string_view s) {
  return startsWith(s, "G90") || startsWith(s, "G91");
}

// A data statement: a word letter followed by a digit or sign.
bool isDataStatement(std::string_view s) {
  if (s.size() < 2) return false;
  const char c = s[0];
  if (c != 'D' && c != 'G' && c != 'I' && c != 'J' && c != 'X' && c != 'Y' && c != 'M' &&
      c != 'N') {
    return false;
  }
  return s[1] == '+' || s[1] == '-' || isDigit(s[1]);
}

class Decoder {
 public:
  Decoder(const StatementList& statements, const DataFormat& preset, const std::string& fileName,
          ReadWarnings& warnings)
      : statements_(statements), fileName_(fileName), warnings_(warnings), format_(preset) {}

  GerberProgram run();

 private:
  // The modal state that a drawing run keeps and an aperture block must not
  // leak into the statements after it.
  struct Modes {
    int32_t interpolation = 1;
    bool multiQuadrant = false;
    int32_t aperture = 10;
    int8_t dMode = 0;
    bool dark = true;
    int32_t transform = 0;
  };
  struct OpenBlock {
    int dCode;
    Modes saved;
    std::vector<GerberOp>* savedOut;
  };

  void presetFromFirstStatements();
  void statement(size_t index);
  void parameter(size_t index, std::string_view s);
  void data(size_t index, std::string_view s);
  void openRepeat(std::string_view s, uint32_t line);
  void closeRepeat(uint32_t line);
  void openBlock(std::string_view body, uint32_t line);
  void closeBlock();
  void setTransform(const ApertureTransform& t, uint32_t line);
  void imageStatement(std::string_view body);
  void fileAttribute(std::string_view body);
  void emit(GerberOp op) {
    op.line = line_;
    out_->push_back(op);
  }
  void emitKind(GerberOp::Kind kind, int32_t value) {
    GerberOp op;
    op.kind = kind;
    op.value = value;
    emit(op);
  }
  [[noreturn]] void fail(const std::string& what) const {
    throw FormatError(fileName_ + ": line " + std::to_string(line_) + ": " + what);
  }
  void warnOnce(const std::string& key, const std::string& what) {
    if (warned_.insert(key).second) {
      warnings_.add(fileName_ + ": line " + std::to_string(line_) + ": " + what);
    }
  }

  const StatementList& statements_;
  const std::string& fileName_;
  ReadWarnings& warnings_;
  GerberProgram program_;
  std::vector<GerberOp>* out_ = &program_.ops;
  DataFormat format_;
  double unit_ = 1.0;
  Modes modes_;
  ApertureTransform transform_;
  std::vector<OpenBlock> blocks_;
  std::optional<size_t> repeat_;  // the open step-and-repeat block
  bool inMacro_ = false;
  bool stopped_ = false;
  uint32_t line_ = 0;
  std::set<std::string> warned_;
};

GerberProgram Decoder::run() {
  presetFromFirstStatements();
  for (size_t i = 0; i < statements_.size() && !stopped_; ++i) {
    line_ = statements_.line(i);
    statement(i);
  }
  if (repeat_) closeRepeat(line_);
  while (!blocks_.empty()) closeBlock();
  program_.format = format_;
  program_.unitScale = unit_;
  return std::move(program_);
}

// Format, unit and G90/G91 statements take effect where they stand; what
// comes before the first of each is read as that first one says.
void Decoder::presetFromFirstStatements() {
  bool format = false, unit = false, absolute = false;
  for (size_t i = 0; i < statements_.size() && !(format && unit && absolute); ++i) {
    std::string_view s = statements_[i];
    if (!format && isParameter(s, "FS")) {
      applyFormatStatement(s, format_);
      format = true;
    }
    if (!unit && isUnitStatement(s)) {
      applyFormatStatement(s, format_);
      unit = true;
    }
    if (!absolute && isAbsoluteStatement(s)) {
      applyFormatStatement(s, format_);
      absolute = true;
    }
  }
  unit_ = format_.unitScale();
}

void Decoder::statement(size_t index) {
  std::string_view s = statements_[index];
  const bool repeatStatement = !inMacro_ && isParameter(s, "SR");
  // An M code ends an open step-and-repeat block.
  if (repeat_ && !inMacro_ && s.size() > 1 && s[0] == 'M' && isDigit(s[1])) closeRepeat(line_);
  // Statement texts as the expanded file holds them: a block's own lines
  // (but the bare "%") once per copy, the statement that opens a block none.
  if (repeat_ && !repeatStatement) {
    if (s != "%") ++program_.repeats[*repeat_].statements;
  } else if (!repeatStatement || repeat_ || parameterBody(s) == "SR") {
    ++program_.expandedStatements;
  }
  if (inMacro_) {
    // A macro's body runs to the statement that closes its parameter block.
    if (s == "%") inMacro_ = false;
    return;
  }
  // Attributes in comments, as older writers put them ("G04 #@! TF.Part,Single*",
  // or with the parameter mark: "G04 #@! %TF.Part,Single*").
  if (startsWith(s, "G04 #@! TF")) fileAttribute(s.substr(8));
  if (startsWith(s, "G04 #@! %TF")) fileAttribute(s.substr(9));
  if (s == "%" || startsWith(s, "G04")) return;
  if (isDataStatement(s)) {
    data(index, s);
  } else {
    parameter(index, s);
  }
}

// GerberProgram - Parameter statements
// ============================================================================

void Decoder::parameter(size_t index, std::string_view s) {
  if (applyFormatStatement(s, format_)) {
    unit_ = format_.unitScale();
    return;
  }
  std::string_view body = parameterBody(s);
  if (startsWith(body, "AD")) {
    program_.definitionUnits[index] = unit_;
  } else if (startsWith(body, "AM")) {
    inMacro_ = true;
  } else if (startsWith(body, "AB")) {
    if (body.size() > 2)
      openBlock(body, line_);
    else if (!blocks_.empty())
      closeBlock();
  } else if (startsWith(body, "LP")) {
    if (body == "LPD" || body == "LPC") {
      modes_.dark = body == "LPD";
      emitKind(GerberOp::Kind::Polarity, modes_.dark ? 1 : 0);
    }
  } else if (startsWith(body, "LM")) {
    ApertureTransform t = transform_;
    t.mirrorX = body.find('X', 2) != std::string_view::npos;
    t.mirrorY = body.find('Y', 2) != std::string_view::npos;
    setTransform(t, line_);
  } else if (startsWith(body, "LR")) {
    ApertureTransform t = transform_;
    t.rotation_deg = decimalOrZero(body.substr(2));
    setTransform(t, line_);
  } else if (startsWith(body, "LS")) {
    ApertureTransform t = transform_;
    t.scale = parseDecimal(body.substr(2)).value_or(1.0);
    setTransform(t, line_);
  } else if (startsWith(body, "SR")) {
    if (repeat_) closeRepeat(line_);
    if (body.find('X') != std::string_view::npos || body.find('Y') != std::string_view::npos) {
      openRepeat(body, line_);
    }
  } else if (startsWith(body, "IP")) {
    program_.image.negative = body == "IPNEG";
  } else if (startsWith(body, "OF") || startsWith(body, "SF") || startsWith(body, "MI") ||
             startsWith(body, "IR") || startsWith(body, "IJ") || startsWith(body, "AS")) {
    imageStatement(body);
  } else if (startsWith(body, "KO")) {
    warnOnce("KO", "knockout statements (%KO) are not supported and are ignored");
  } else if (body.size() >= 2 && std::isupper(static_cast<unsigned char>(body[0])) &&
             std::isupper(static_cast<unsigned char>(body[1]))) {
    if (startsWith(body, "TF")) fileAttribute(body);
    // Names, attributes and the input code (%IN, %LN, %TF, %TA, %TO, %TD,
    // %IC) draw nothing; other statements are unknown and drawn as nothing.
    static constexpr std::string_view kQuiet[] = {"IN", "LN", "TF", "TA", "TO", "TD", "IC", "IO"};
    if (std::find(std::begin(kQuiet), std::end(kQuiet), body.substr(0, 2)) == std::end(kQuiet)) {
      warnOnce(std::string(body.substr(0, 2)),
               "statement '" + std::string(body.substr(0, 40)) + "' is not known and is ignored");
    }
  }
}

void Decoder::setTransform(const ApertureTransform& t, uint32_t) {
  transform_ = t;
  auto& all = program_.transforms;
  auto it = std::find(all.begin(), all.end(), t);
  if (it == all.end()) it = all.insert(all.end(), t);
  modes_.transform = static_cast<int32_t>(it - all.begin());
  emitKind(GerberOp::Kind::Transform, modes_.transform);
}

void Decoder::imageStatement(std::string_view body) {
  ImageStatements& im = program_.image;
  std::string_view code = body.substr(0, 2), rest = body.substr(2);
  if (code == "AS") {
    im.swapAxes = rest == "AYBX";
  } else if (code == "MI") {
    im.mirrorA = numberAfter(rest, 'A').value_or(0.0) == 1.0;
    im.mirrorB = numberAfter(rest, 'B').value_or(0.0) == 1.0;
  } else if (code == "SF") {
    im.scaleA = numberAfter(rest, 'A').value_or(1.0);
    im.scaleB = numberAfter(rest, 'B').value_or(1.0);
  } else if (code == "OF") {
    im.offsetA = numberAfter(rest, 'A').value_or(0.0) * unit_;
    im.offsetB = numberAfter(rest, 'B').value_or(0.0) * unit_;
  } else if (code == "IR") {
    auto turn = parseInteger(rest);
    if (turn && (*turn == 0 || *turn == 90 || *turn == 180 || *turn == 270)) {
      im.rotation_deg = static_cast<int>(*turn);
    } else {
      warnOnce("IR",
               "image rotation '" + std::string(body) + "' is not 0, 90, 180 or 270: ignored");
    }
  } else if (code == "IJ") {
    // A<L|C|offset>B<L|C|offset>: L puts the image's low edge on the axis,
    // C its centre, a number its low edge at that distance.
    auto axis = [&](char letter, int& mode, double& offset) {
      size_t p = rest.find(letter);
      if (p == std::string_view::npos || p + 1 >= rest.size()) return;
      if (rest[p + 1] == 'L')
        mode = 1, offset = 0.0;
      else if (rest[p + 1] == 'C')
        mode = 2, offset = 0.0;
      else if (auto v = numberAfter(rest.substr(p), letter))
        mode = 1, offset = *v * unit_;
    };
    axis('A', im.justifyA, im.justifyOffsetA);
    axis('B', im.justifyB, im.justifyOffsetB);
  }
}

// "TF.Name,value" (the "*" already gone or left at the end).
void Decoder::fileAttribute(std::string_view body) {
  if (!body.empty() && body.back() == '*') body.remove_suffix(1);
  body.remove_prefix(2);
  const size_t comma = body.find(',');
  program_.fileAttributes.emplace_back(
      std::string(body.substr(0, comma)),
      comma == std::string_view::npos ? std::string() : std::string(body.substr(comma + 1)));
}

void Decoder::openRepeat(std::string_view body, uint32_t) {
  RepeatBlock r;
  r.nx = countAfter(body, 'X');
  r.ny = countAfter(body, 'Y');
  r.stepX = numberAfter(body, 'I').value_or(0.0);
  r.stepY = numberAfter(body, 'J').value_or(0.0);
  r.unitScale = unit_;
  program_.repeats.push_back(r);
  repeat_ = program_.repeats.size() - 1;
  emitKind(GerberOp::Kind::RepeatBegin, static_cast<int32_t>(*repeat_));
}

void Decoder::closeRepeat(uint32_t) {
  const RepeatBlock& r = program_.repeats[*repeat_];
  // Each copy counts its statements and the one that places it.
  if (r.nx >= 1 && r.ny >= 1) {
    const auto copies = static_cast<uint64_t>(r.nx) * static_cast<uint64_t>(r.ny);
    program_.expandedStatements += copies * (1 + r.statements);
  }
  repeat_.reset();
  emitKind(GerberOp::Kind::RepeatEnd, 0);
}

void Decoder::openBlock(std::string_view body, uint32_t) {
  auto d =
      parseInteger(body.substr(body.find('D') == std::string_view::npos ? 2 : body.find('D') + 1));
  if (!d || *d < 10 || *d > 9999) {
    warnOnce("AB" + std::string(body),
             "aperture block '" + std::string(body) + "' has no valid D code");
    d = -1;  // read, and drawn nowhere
  }
  blocks_.push_back({static_cast<int>(*d), modes_, out_});
  std::vector<GerberOp>& ops = program_.blocks[static_cast<int>(*d)];
  ops.clear();
  out_ = &ops;
  // A block starts dark and untransformed, in the modes of the statements
  // before it.
  emitKind(GerberOp::Kind::Interpolation, modes_.interpolation);
  emitKind(GerberOp::Kind::Quadrant, modes_.multiQuadrant ? 75 : 74);
  emitKind(GerberOp::Kind::Select, modes_.aperture);
  emitKind(GerberOp::Kind::DrawMode, modes_.dMode);
  modes_.dark = true;
  modes_.transform = 0;
  transform_ = {};
}

void Decoder::closeBlock() {
  OpenBlock b = blocks_.back();
  blocks_.pop_back();
  out_ = b.savedOut;
  modes_ = b.saved;
  transform_ = program_.transforms[static_cast<size_t>(modes_.transform)];
}

// GerberProgram - Data statements
// ============================================================================

void Decoder::data(size_t, std::string_view s) {
  GerberOp operate;
  operate.kind = GerberOp::Kind::Operate;
  bool hasCoordinates = false;
  bool hasD = false;
  for (size_t p = 0; p < s.size(); ++p) {
    const char letter = s[p];
    if (letter < 'A' || letter > 'Z') continue;
    if (letter == 'X' || letter == 'Y' || letter == 'I' || letter == 'J') {
      CoordinateRead r = readCoordinate(s, p, format_, unit_);
      using Status = CoordinateRead::Status;
      if (r.status == Status::TooLarge) {
        fail("coordinate in '" + std::string(s.substr(0, 60)) + "' does not fit a 32-bit number");
      }
      if (r.status == Status::Decimal) {
        warnOnce("decimal",
                 "coordinates written with a decimal point are read as decimal numbers of the "
                 "file's unit");
      }
      if (r.status == Status::Missing) continue;
      static constexpr uint8_t kFlag[] = {GerberOp::kHasX, GerberOp::kHasY, GerberOp::kHasI,
                                          GerberOp::kHasJ};
      const size_t axis = letter == 'X' ? 0 : letter == 'Y' ? 1 : letter == 'I' ? 2 : 3;
      operate.flags |= kFlag[axis];
      (axis == 0 ? operate.x : axis == 1 ? operate.y : axis == 2 ? operate.i : operate.j) = r.value;
      if (axis < 2) hasCoordinates = true;
      continue;
    }
    size_t end = p + 1;
    while (end < s.size() && isDigit(s[end])) ++end;
    if (end == p + 1) continue;
    const long long code =
        parseInteger(s.substr(p + 1, std::min<size_t>(end - p - 1, 9))).value_or(-1);
    p = end - 1;
    switch (letter) {
      case 'G':
        switch (code) {
          case 1:
          case 10:
          case 11:
          case 12:
            modes_.interpolation = 1;
            emitKind(GerberOp::Kind::Interpolation, 1);
            break;
          case 2:
          case 3:
            modes_.interpolation = static_cast<int32_t>(code);
            emitKind(GerberOp::Kind::Interpolation, static_cast<int32_t>(code));
            break;
          case 74:
          case 75:
            modes_.multiQuadrant = code == 75;
            emitKind(GerberOp::Kind::Quadrant, static_cast<int32_t>(code));
            break;
          case 36:
            emitKind(GerberOp::Kind::RegionBegin, 0);
            break;
          case 37:
            emitKind(GerberOp::Kind::RegionEnd, 0);
            break;
          case 70:
          case 71:
          case 90:
          case 91: {
            std::string word = "G" + std::to_string(code);
            applyFormatStatement(word, format_);
            unit_ = format_.unitScale();
            break;
          }
          default:
            break;  // G54, G55 and the rest select or do nothing
        }
        break;
      case 'D':
        if (code >= 10) {
          modes_.aperture = static_cast<int32_t>(std::min<long long>(code, 99999));
          emitKind(GerberOp::Kind::Select, modes_.aperture);
        } else if (code >= 0 && code < 5) {
          operate.dCode = static_cast<int8_t>(code);
          modes_.dMode = operate.dCode;
          hasD = true;
        }
        break;
      case 'M':
        if (code == 0 || code == 2) {
          if (repeat_) closeRepeat(line_);
          program_.hasEnd = code == 2;
          emitKind(GerberOp::Kind::Stop, 0);
          stopped_ = blocks_.empty();
        }
        break;
      default:
        break;  // N sequence numbers and unknown words
    }
  }
  if (hasD || hasCoordinates || operate.has(GerberOp::kHasI) || operate.has(GerberOp::kHasJ)) {
    if (!format_.Absolute) operate.flags |= GerberOp::kIncremental;
    const int8_t mode = hasD ? operate.dCode : modes_.dMode;
    if ((mode == 1 || mode == 3) && blocks_.empty()) program_.hasDrawing = true;
    emit(operate);
  }
}

}  // namespace

GerberProgram decodeProgram(const StatementList& statements, const DataFormat& preset,
                            const std::string& fileName, ReadWarnings& warnings) {
  return Decoder(statements, preset, fileName, warnings).run();
}

}  // namespace drumplot
