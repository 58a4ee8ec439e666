// SPDX-License-Identifier: MIT
// The four foreign aperture list conversions.
#include "apertures/aperture_list_conversion.h"

#include <vector>

#include "apertures/aperture_file.h"
#include "apertures/text_file.h"
#include "engine/aperture.h"
#include "engine/errors.h"
#include "engine/text.h"
#include "io/file_io.h"

namespace drumplot {

namespace {

constexpr double kMilsPerInch = 1000.0;
constexpr double kMillimetresPerInch = 25.4;
constexpr int kFirstListDCode = 10;
constexpr int kLastListDCode = 9999;

bool isLetter(char c) {
  return c >= 'A' && c <= 'Z';
}
bool isDCodeChar(char c) {
  return isDigit(c) || c == 'D';
}
bool isSizeChar(char c) {
  return isDigit(c) || c == '.';
}

// The integer value of a D code text, when it is one from 10 to 9999.
std::optional<long long> listDCode(std::string_view text) {
  std::optional<long long> value = parseInteger(text);
  if (!value || *value < kFirstListDCode || *value > kLastListDCode) return std::nullopt;
  return value;
}

// The line being converted, for the errors that name it.
struct SourceLine {
  std::string_view fileName;
  size_t number;

  FormatError error(const std::string& what) const {
    return FormatError(std::string(fileName) + ":" + std::to_string(number) + ": " + what);
  }
};

// A size of a list line as read: its text as written (for the messages) and
// its value in inches, or why it has none.
struct ListSize {
  std::string text;
  std::optional<double> inches;  // nothing: the text is not a number
  std::string problem;           // anything else that makes it no size
};

// The size in inches, checked as the aperture file's reader checks it when it
// is written: present, a number, from 0 to 10 inches.
double checkedSize(const ListSize& size, const SourceLine& at) {
  if (size.text.empty()) throw at.error("no size");
  if (!size.problem.empty()) throw at.error(size.problem);
  if (!size.inches) throw at.error("size '" + size.text + "' is not a number");
  if (*size.inches < 0.0) throw at.error("size " + size.text + " is negative");
  if (*size.inches > kMaxApertureFileSize)
    throw at.error("size " + size.text + " is over 10 inches");
  return *size.inches;
}

// A size in fixed notation with 4 decimals in 7 characters.
std::string size4(double inches) {
  return formatFixed(inches, 7, 4);
}

// Finds runs of one character class after another, left to right along a line.
class RunScanner {
 public:
  explicit RunScanner(std::string_view line) : line_(line) {}

  // The next run of characters of the class; empty when none is left.
  std::string_view next(bool (*inClass)(char)) {
    while (pos_ < line_.size() && !inClass(line_[pos_])) ++pos_;
    size_t begin = pos_;
    while (pos_ < line_.size() && inClass(line_[pos_])) ++pos_;
    return line_.substr(begin, pos_ - begin);
  }

 private:
  std::string_view line_;
  size_t pos_ = 0;
};

// The D code and shape word that open an IsoCam or ECAM line. The D code
// starts at the first digit or "D" and runs over digits and "D"s; when it
// starts with "D", the code is the (at most 4) characters after it.
struct CodeAndWord {
  std::string_view dCode;
  std::string_view word;
};

CodeAndWord codeAndWord(RunScanner& scan) {
  std::string_view code = scan.next(isDCodeChar);
  if (!code.empty() && code.front() == 'D') code = code.substr(1, 4);
  return {code, scan.next(isLetter)};
}

// ApertureListConversion - IsoCam (.apl)
// ============================================================================

// "D12 RECTANGLE 0.060 0.030" -> "12 2 0.060 0.030": sizes are inches,
// copied as they are written.
std::optional<std::string> isoCamLine(std::string_view line, const SourceLine& at) {
  RunScanner scan(line);
  CodeAndWord cw = codeAndWord(scan);
  if (!listDCode(cw.dCode)) return std::nullopt;
  std::string_view first = scan.next(isSizeChar);
  std::string_view second = scan.next(isSizeChar);
  const char* code = cw.word == "ROUND" || cw.word == "ANNULUS"      ? "0 "
                     : cw.word == "SQUARE" || cw.word == "RECTANGLE" ? "2 "
                     : cw.word == "OBLONG"                           ? "3 "
                                                                     : nullptr;
  if (!code) return std::nullopt;
  if (cw.word == "SQUARE") second = first;
  for (std::string_view size : {first, second}) {
    checkedSize({std::string(size), parseDecimal(size), {}}, at);
  }
  std::string written =
      std::string(cw.dCode) + " " + code + std::string(first) + " " + std::string(second);
  // The reader cuts lines at 255 characters: a size copied that long would be cut.
  if (written.size() > kMaxLineLength)
    throw at.error("the sizes are written too long to be read back");
  return written;
}

// ApertureListConversion - ECAM (.gap) and GC-CAM (.lst) shapes
// ============================================================================

enum class CamDialect { Ecam, GcCam };

// The aperture line of a shape word: the shape code, then a, and a or b or
// "0.00", each checked when written. CUSTOM (and every unknown word) gives
// no line.
std::optional<std::string> camShapeLine(std::string_view word, std::string_view dCode,
                                        const ListSize& a, const ListSize& b, CamDialect dialect,
                                        const SourceLine& at) {
  struct Shape {
    std::string_view word;
    const char* code;
    char second;  // 'a', 'b', or '0' for "0.00"
  };
  const bool gcCam = dialect == CamDialect::GcCam;
  // clang-format off
  const Shape shapes[] = {
      {"ROUND", "0 ", 'a'},  {gcCam ? "DRAW" : "", "0 ", 'a'},
      {"SQUARE", "1 ", 'a'}, {"RECTANGLE", "2 ", 'b'},  {"OBLONG", "3 ", 'b'},
      {gcCam ? "ANNULUS" : "DONUT", "0 ", 'b'},         {"TARGET", "6 ", 'a'},
      {"THERMAL", "5 ", 'b'}, {"OCTAGON", "16 ", '0'},
  };
  // clang-format on
  for (const Shape& shape : shapes) {
    if (shape.word.empty() || word != shape.word) continue;
    std::string first = size4(checkedSize(a, at));
    std::string second = shape.second == '0'   ? "0.00"
                         : shape.second == 'a' ? first
                                               : size4(checkedSize(b, at));
    return std::string(dCode) + " " + shape.code + first + " " + second;
  }
  return std::nullopt;
}

// ApertureListConversion - ECAM (.gap)
// ============================================================================

// "D11 ROUND 20.00 0.508 0.00 0.000" -> "11 0  0.0200  0.0200": the first
// and third numbers are mils; the second and fourth are not used.
std::optional<std::string> ecamLine(std::string_view line, std::string& customDCodes,
                                    const SourceLine& at) {
  RunScanner scan(line);
  CodeAndWord cw = codeAndWord(scan);
  if (!listDCode(cw.dCode)) return std::nullopt;
  std::string_view numbers[4];
  for (std::string_view& n : numbers) n = scan.next(isSizeChar);
  if (cw.word == "CUSTOM") {
    customDCodes += std::string(cw.dCode) + ",";
    return std::nullopt;
  }
  auto size = [](std::string_view mils) {
    std::optional<double> value = parseDecimal(mils);
    if (value) *value /= kMilsPerInch;
    return ListSize{std::string(mils), value, {}};
  };
  return camShapeLine(cw.word, cw.dCode, size(numbers[0]), size(numbers[2]), CamDialect::Ecam, at);
}

// ApertureListConversion - GC-CAM (.lst)
// ============================================================================

constexpr size_t kGcCamTokens = 11;
constexpr size_t kMaxTokenLength = 64;

// Control characters are removed first, so a tab joins its neighbours.
std::vector<std::string> gcCamTokens(std::string_view line) {
  std::string text;
  for (char c : line) {
    if (static_cast<unsigned char>(c) >= ' ') text.push_back(c);
  }
  std::vector<std::string> tokens;
  size_t pos = 0;
  while (tokens.size() < kGcCamTokens) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos == text.size()) break;
    size_t end = text.find(' ', pos);
    if (end == std::string::npos) end = text.size();
    tokens.push_back(text.substr(pos, std::min(end - pos, kMaxTokenLength)));
    pos = end;
  }
  tokens.resize(kGcCamTokens);
  return tokens;
}

// A size with its unit token: the inch sign, MIL or MM.
ListSize gcCamSize(const std::string& value, const std::string& unit) {
  ListSize size{value, parseDecimal(value), {}};
  if (!size.inches || unit == "\"") return size;
  if (unit == "MIL") {
    *size.inches /= kMilsPerInch;
  } else if (unit == "MM") {
    *size.inches /= kMillimetresPerInch;
  } else {
    size.problem = "size " + value + " in '" + unit + "': the unit is not \", MIL or MM";
  }
  return size;
}

// Tokens 5 to 11: D code, shape word, first size and unit, (unused), second size and unit.
std::optional<std::string> gcCamLine(std::string_view line, std::string& customDCodes,
                                     const SourceLine& at) {
  std::vector<std::string> t = gcCamTokens(line);
  std::string_view code = t[4];
  if (!code.empty() && code.front() == 'D') code.remove_prefix(1);
  std::optional<long long> dCode = listDCode(code);
  if (!dCode) return std::nullopt;
  if (t[5] == "CUSTOM") {
    customDCodes += std::to_string(*dCode) + ",";
    return std::nullopt;
  }
  return camShapeLine(t[5], code, gcCamSize(t[6], t[7]), gcCamSize(t[9], t[10]), CamDialect::GcCam,
                      at);
}

// ApertureListConversion - Polski (.apt)
// ============================================================================

// "... ROUND ... D12 ... !200! ..." style lines: a line with ROUND or SQUARE
// and " D". The D code is the digits after the first " D"; the size is the
// text between the first two "!" after the shape word, in 0.0001 inch.
// Throws FormatError naming the file and line when either is not a number,
// or the D code is not one an aperture file holds.
std::optional<std::string> polskiLine(std::string_view line, const SourceLine& at) {
  size_t round = line.find("ROUND");
  size_t shapeAt = round != std::string_view::npos ? round : line.find("SQUARE");
  size_t d = line.find(" D");
  if (shapeAt == std::string_view::npos || d == std::string_view::npos) return std::nullopt;

  size_t digitsEnd = d + 2;
  while (digitsEnd < line.size() && isDigit(line[digitsEnd])) ++digitsEnd;
  std::string_view digits = line.substr(d + 2, digitsEnd - d - 2);
  std::optional<long long> dCode = parseInteger(digits);
  if (digits.empty() || !dCode) throw at.error("D code after \" D\" is not a number");
  if (!listDCode(digits)) {
    throw at.error("D code " + std::string(digits) + " is not one of 10 to 9999");
  }

  std::string_view rest = line.substr(shapeAt);
  size_t bang1 = rest.find('!');
  size_t bang2 = bang1 == std::string_view::npos ? bang1 : rest.find('!', bang1 + 1);
  std::string_view sizeText = bang2 == std::string_view::npos
                                  ? std::string_view{}
                                  : rest.substr(bang1 + 1, bang2 - bang1 - 1);
  std::optional<double> size = parseDecimal(sizeText);
  if (!size) throw at.error("size '" + std::string(sizeText) + "' is not a number");
  double inches = checkedSize({std::string(sizeText), *size / 10.0 / kMilsPerInch, {}}, at);
  return std::to_string(*dCode) + " " + (round != std::string_view::npos ? "0 " : "1 ") +
         formatFixed(inches, 7, 5) + " " + formatFixed(inches, 7, 4);
}

// The list types by their command-line names, and as the messages name them.
struct ListTypeNames {
  ApertureListType type;
  const char* name;   // "isocam"
  const char* title;  // "an IsoCam" list
};

constexpr ListTypeNames kListTypes[] = {
    {ApertureListType::IsoCam, "isocam", "an IsoCam"},
    {ApertureListType::Ecam, "ecam", "an ECAM"},
    {ApertureListType::GcCam, "gccam", "a GC-CAM"},
    {ApertureListType::Polski, "polski", "a Polski"},
};

const ListTypeNames& namesOf(ApertureListType type) {
  for (const ListTypeNames& names : kListTypes) {
    if (names.type == type) return names;
  }
  return kListTypes[0];  // every enumerator is listed
}

}  // namespace

// ApertureListConversion - Common frame
// ============================================================================

std::string ApertureListConversion::customMessage() const {
  return customDCodes.empty() ? std::string()
                              : "Aperture : " + customDCodes + " is defined as CUSTOM";
}

ApertureListConversion convertApertureList(std::string_view source, ApertureListType type,
                                           std::string_view fileName) {
  const std::string name(fileName);
  if (size_t line = firstBinaryLine(source)) {
    throw FormatError(name + ":" + std::to_string(line) + ": not an aperture list (binary data)");
  }
  ApertureListConversion result;
  result.text = apertureFileHeader();
  // GC-CAM lists start after the first line that holds "CODE".
  bool inTable = type != ApertureListType::GcCam;
  std::vector<std::string_view> lines = textLines(source);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = upperCase(lines[i]);
    const SourceLine at{fileName, i + 1};
    std::optional<std::string> out;
    switch (type) {
      case ApertureListType::IsoCam:
        out = isoCamLine(line, at);
        break;
      case ApertureListType::Ecam:
        out = ecamLine(line, result.customDCodes, at);
        break;
      case ApertureListType::GcCam:
        if (inTable) {
          out = gcCamLine(line, result.customDCodes, at);
        } else {
          inTable = line.find("CODE") != std::string::npos;
        }
        break;
      case ApertureListType::Polski:
        out = polskiLine(line, at);
        break;
    }
    if (out) {
      result.text += *out + "\r\n";
      ++result.apertureLines;
    }
  }
  if (result.apertureLines == 0) {
    std::string custom = result.customMessage();
    throw FormatError(name + ": " +
                      (source.find_first_not_of(" \t\r\n\f\x1a") == std::string_view::npos
                           ? std::string("the aperture list is empty")
                           : "no aperture found in it as " + std::string(namesOf(type).title) +
                                 " list; is it one?") +
                      (custom.empty() ? "" : " (" + custom + ")"));
  }
  result.text += apertureFileTrailer(ApertureFileWriter::Import);
  // What is written must read back: the reader's checks are the last word.
  ApertureTable check;
  loadApertureText(result.text, check, name + " (converted)");
  return result;
}

std::string convertedApertureFileName(const std::string& source) {
  return source + ".Env";
}

ApertureListConversion convertApertureListFile(const std::string& source, ApertureListType type,
                                               const std::string& target) {
  ApertureListConversion result = convertApertureList(readFileBytes(source), type, source);
  writeFileAtomically(target, result.text);
  return result;
}

// ApertureListConversion - Names and the import's choice
// ============================================================================

const char* apertureListTypeName(ApertureListType type) {
  return namesOf(type).name;
}

std::optional<ApertureListType> apertureListTypeFromName(std::string_view name) {
  for (const ListTypeNames& names : kListTypes) {
    if (name == names.name) return names.type;
  }
  return std::nullopt;
}

ApertureImportAction apertureImportAction(int filterIndex, bool useConverter) {
  if (filterIndex == 5 && useConverter) return ApertureImportAction::ExternalConverter;
  if (filterIndex >= 1 && filterIndex <= 4 && !useConverter)
    return ApertureImportAction::ConvertList;
  if (filterIndex == 0 && !useConverter) return ApertureImportAction::AttachUnchanged;
  return ApertureImportAction::ClearEntry;
}

}  // namespace drumplot
