// SPDX-License-Identifier: MIT
// Loading and saving aperture files.
#include "apertures/aperture_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>

#include "apertures/text_file.h"
#include "apertures/working_aperture_table.h"
#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "engine/rounding.h"
#include "engine/text.h"
#include "io/file_io.h"

namespace drumplot {

namespace {

constexpr double kMilsPerInch = 1000.0;
constexpr double kCentimetreDivisor = 2.54;
constexpr const char* kApertureFileFirstLine = "[<4";

// Shape codes of the file, the shape each gives, and the code written for it.
struct FileShapeCode {
  int code;
  ApertureShape shape;
  bool written;  // the code the save writes for the shape
};

// clang-format off
constexpr FileShapeCode kFileShapeCodes[] = {
    {0,  ApertureShape::Round,     true},
    {15, ApertureShape::Round,     false},
    {1,  ApertureShape::Square,    true},
    {2,  ApertureShape::Rectangle, true},
    {16, ApertureShape::Octagon,   true},
    {3,  ApertureShape::Oblong,    true},
    {4,  ApertureShape::Oblong,    false},
    {5,  ApertureShape::Thermal,   true},
    {6,  ApertureShape::Target,    true},
    {14, ApertureShape::Custom,    false},
};
// clang-format on

ApertureShape shapeOfFileCode(long long code) {
  for (const FileShapeCode& c : kFileShapeCodes) {
    if (c.code == code) return c.shape;
  }
  return ApertureShape::None;
}

// The code written for a shape; none for None, Custom and values off the list.
std::optional<int> fileCodeOfShape(ApertureShape shape) {
  for (const FileShapeCode& c : kFileShapeCodes) {
    if (c.written && c.shape == shape) return c.code;
  }
  return std::nullopt;
}

// The number at the start of a text: digits are taken up to the first
// character that cannot continue a number ("10-20" reads 10); a text without
// leading digits reads 0.
double leadingNumber(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && isDigit(text[j])) {
      while (j < text.size() && isDigit(text[j])) ++j;
      end = j;
    }
  }
  return decimalOrZero(text.substr(0, end));
}

// The fields of one line. A field is the text before the first space of the
// current text, which then becomes the text after that space; both trimmed.
// Once the current text holds no space, fields 1 to 3 read empty and fields
// 4 and 5 read the whole current text, which stays as it is:
//   "20 5 0.06 0.04 0.03"  ->  20 | 5 | 0.06 | 0.04 | 0.03
//   "20 5 0.06 0.04"       ->  20 | 5 | 0.06 | 0.04 | 0.04
//   "10 0 0.254"           ->  10 | 0 |      | 0.254 | 0.254
struct LineFields {
  std::array<std::string_view, 5> field;
  std::string_view afterField2;  // the rest of the line after field 2
};

LineFields cutFields(std::string_view line) {
  LineFields f;
  std::string_view current = trimSpaces(line);
  for (size_t n = 0; n < f.field.size(); ++n) {
    size_t space = current.find(' ');
    if (space == std::string_view::npos) {
      f.field[n] = n >= 3 ? current : std::string_view{};
    } else {
      f.field[n] = trimSpaces(current.substr(0, space));
      current = trimSpaces(current.substr(space + 1));
    }
    if (n == 1) f.afterField2 = current;
  }
  return f;
}

// Where a line's fields are read from and what goes wrong with them.
class ApertureLineReader {
 public:
  ApertureLineReader(ApertureTable& apertures, std::string_view fileName)
      : apertures_(apertures), fileName_(fileName) {}

  // False when the line ends the load.
  bool line(std::string_view text, size_t lineNumber);
  // Whether a line past the end of the table would have defined apertures
  // (nothing is defined, nothing is thrown).
  static bool definesApertures(std::string_view text);
  bool started() const { return started_; }

 private:
  [[noreturn]] void fail(size_t lineNumber, const std::string& what) const;
  long long strictInteger(std::string_view text, size_t lineNumber, const char* what) const;
  double size(std::string_view text, size_t lineNumber) const;
  void applyHeaderTest(double number, const LineFields& f, size_t lineNumber);
  // A line that is not an aperture line ends the load once the table has started.
  bool notAnApertureLine() const { return !started_; }

  ApertureTable& apertures_;
  std::string_view fileName_;
  double UnitDivisor = 1.0;
  bool started_ = false;
};

void ApertureLineReader::fail(size_t lineNumber, const std::string& what) const {
  throw FormatError(std::string(fileName_) + ":" + std::to_string(lineNumber) + ": " + what);
}

long long ApertureLineReader::strictInteger(std::string_view text, size_t lineNumber,
                                            const char* what) const {
  std::optional<long long> value = parseInteger(text);
  if (!value)
    fail(lineNumber, std::string(what) + " '" + std::string(text) + "' is not an integer");
  return *value;
}

// A size field in inches: a number from 0 to 10 inches, after the unit.
double ApertureLineReader::size(std::string_view text, size_t lineNumber) const {
  if (text.empty()) {
    fail(lineNumber, "no size: an aperture line gives the D code, the shape code and two sizes");
  }
  std::optional<double> value = parseDecimal(text);
  if (!value) fail(lineNumber, "size '" + std::string(text) + "' is not a number");
  double inches = *value / UnitDivisor;
  if (inches < 0.0) fail(lineNumber, "size " + std::string(text) + " is negative");
  if (inches > kMaxApertureFileSize) {
    fail(lineNumber, "size " + std::string(text) + " is over 10 inches");
  }
  return inches;
}

// The header line "2 3 12" (or "2 3 15") says the sizes after it are
// centimetres; "2 3 11" leaves them inches.
void ApertureLineReader::applyHeaderTest(double number, const LineFields& f, size_t lineNumber) {
  if (number != 2.0 && number <= ApertureTable::kMaxDCode) return;
  long long second = strictInteger(f.field[1], lineNumber, "header field");
  if (second != 3 && second <= ApertureTable::kMaxDCode) return;
  std::optional<long long> unit = parseInteger(trimSpaces(f.afterField2));
  if (unit == 12 || unit == 15) UnitDivisor = kCentimetreDivisor;
}

bool ApertureLineReader::definesApertures(std::string_view text) {
  LineFields f = cutFields(text);
  double number = leadingNumber(f.field[0]);
  if (number < 10.0 || number > ApertureTable::kMaxDCode) return false;
  std::optional<long long> code = parseInteger(f.field[1]);
  return code && shapeOfFileCode(*code) != ApertureShape::None;
}

bool ApertureLineReader::line(std::string_view text, size_t lineNumber) {
  LineFields f = cutFields(text);
  double number = leadingNumber(f.field[0]);
  applyHeaderTest(number, f, lineNumber);

  if (number < 10.0 || number > ApertureTable::kMaxDCode) return notAnApertureLine();
  int first = roundToInt(number);
  int last = first;
  if (size_t dash = f.field[0].find('-'); dash != std::string_view::npos) {
    long long end = strictInteger(f.field[0].substr(dash + 1, 5), lineNumber, "range end");
    // Records end at the reader's last D code.
    last = static_cast<int>(std::min<long long>(end, ApertureTable::kMaxDCode));
  }

  ApertureShape shape = shapeOfFileCode(strictInteger(f.field[1], lineNumber, "shape code"));
  if (shape == ApertureShape::None) return notAnApertureLine();

  double sizeX = size(f.field[2], lineNumber);
  double sizeY = size(f.field[3], lineNumber);
  if (shape == ApertureShape::Thermal && parseDecimal(f.field[4])) {
    sizeY = size(f.field[4], lineNumber);
  }
  if (shape == ApertureShape::Custom) sizeY = sizeX;
  if (shape == ApertureShape::Target) sizeY = 0.0;
  if (shape == ApertureShape::Square) sizeY = sizeX;

  started_ = true;
  for (int d = first; d <= last; ++d) {
    Aperture& a = apertures_.define(d);
    a.Defined = 1;
    a.Kind = ApertureKind::File;
    a.Shape = shape;
    a.SizeX = sizeX;
    a.SizeY = sizeY;
    a.Aux = 0.0;
  }
  return true;
}

}  // namespace

// Aperture file - Header and trailer
// ============================================================================

std::string apertureFileHeader() {
  return std::string(kApertureFileFirstLine) + "\r\nin.pho\r\n2 3 11\r\n";
}

std::string apertureFileTrailer(ApertureFileWriter writer) {
  return std::string("0\r\n0\r\n18688 20736 20224\r\n1.0 1.0 0.0005\r\n0 0\r\n") +
         static_cast<char>(writer) + "\r\n";
}

// Aperture file - Load
// ============================================================================

// Text that is not an aperture file, read as one, would define nothing, or
// define apertures from some other file's numbers: it is refused instead.
void loadApertureText(std::string_view text, ApertureTable& apertures, std::string_view fileName) {
  const std::string name(fileName);
  if (size_t line = firstBinaryLine(text)) {
    throw FormatError(name + ":" + std::to_string(line) + ": not an aperture file (binary data)");
  }
  std::vector<std::string_view> lines = textLines(text);
  auto blank = [](std::string_view line) {
    return line.find_first_not_of(" \t\f\x1a") == std::string_view::npos;
  };
  if (std::all_of(lines.begin(), lines.end(), blank)) {
    throw FormatError(name + ": the aperture file is empty");
  }
  ApertureLineReader reader(apertures, fileName);
  size_t end = 0;
  while (end < lines.size() && reader.line(lines[end], end + 1)) ++end;
  // Lines after the end of the table are not read: none may define apertures.
  for (size_t later = end + 1; later < lines.size(); ++later) {
    if (ApertureLineReader::definesApertures(lines[later])) {
      throw FormatError(name + ":" + std::to_string(end + 1) +
                        ": this line ends the aperture table, but line " +
                        std::to_string(later + 1) + " defines apertures after it");
    }
  }
  if (!reader.started() && trimSpaces(lines.front()) != kApertureFileFirstLine) {
    throw FormatError(name + ": not an aperture file (no aperture line, no \"" +
                      kApertureFileFirstLine + "\" header)");
  }
}

void LoadApertureFile(ApertureTable& apertures, const std::string& fileName) {
  if (fileName.empty()) return;
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec)) return;
  loadApertureText(readFileBytes(fileName), apertures, fileName);
}

void LoadApertureFile(GerberReader& reader, const std::string& fileName) {
  LoadApertureFile(reader.Apertures, fileName);
}

std::function<void(ApertureTable&)> apertureFileLoader(std::string fileName) {
  return [fileName = std::move(fileName)](ApertureTable& apertures) {
    std::error_code ec;
    if (!fileName.empty() && !std::filesystem::exists(fileName, ec)) {
      throw IoError(fileName + ": the layer's aperture file cannot be opened");
    }
    LoadApertureFile(apertures, fileName);
  };
}

// Aperture file - Save
// ============================================================================

namespace {

// "10 0  0.02000 0.02000": the D code, the shape's code and one space, then
// both sizes in inches right-aligned in 8 characters. A size that fills its
// field (10 inches) still gets a space before it, so that the line reads back
// as two sizes. Sizes the load would refuse are refused here.
std::string apertureLine(int dCode, int code, const ApertureTableRow& row) {
  constexpr double kLastDecimal_mils = 0.005;  // half of the 5th decimal of an inch
  for (double mils : {row.DLX, row.DLY}) {
    if (mils < -kLastDecimal_mils ||
        mils > kMaxApertureFileSize * kMilsPerInch + kLastDecimal_mils) {
      throw FormatError("D" + std::to_string(dCode) + ": size " + formatFixed(mils, 0, 2) +
                        " mils: an aperture file holds sizes from 0 to 10 inches (10000 mils)");
    }
  }
  std::string second = formatFixed(row.DLY / kMilsPerInch, 8, 5);
  if (second.front() != ' ') second.insert(0, " ");
  return std::to_string(dCode) + " " + std::to_string(code) + " " +
         formatFixed(row.DLX / kMilsPerInch, 8, 5) + second + "\r\n";
}

}  // namespace

std::string apertureFileText(const WorkingApertureTable& table) {
  std::string text = apertureFileHeader();
  for (int d = WorkingApertureTable::kFirstDCode; d <= WorkingApertureTable::kLastDCode; ++d) {
    const ApertureTableRow& row = table.row(d);
    if (!table.edited(d) && row.Kind != ApertureKind::File) continue;
    if (std::optional<int> code = fileCodeOfShape(row.Shape)) text += apertureLine(d, *code, row);
  }
  return text + apertureFileTrailer(ApertureFileWriter::Table);
}

void SaveApertureFile(const WorkingApertureTable& table, const std::string& fileName) {
  writeFileAtomically(fileName, apertureFileText(table));
}

}  // namespace drumplot
