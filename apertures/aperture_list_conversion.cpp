// SPDX-License-Identifier: MIT
// The four foreign aperture list conversions.
#include "apertures/aperture_list_conversion.h"

#include <vector>

#include "apertures/aperture_file.h"
#include "apertures/text_file.h"
#include "engine/errors.h"
#include "engine/text.h"

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
std::optional<std::string> isoCamLine(std::string_view line) {
  RunScanner scan(line);
  CodeAndWord cw = codeAndWord(scan);
  if (!listDCode(cw.dCode)) return std::nullopt;
  std::string first(scan.next(isSizeChar));
  std::string second(scan.next(isSizeChar));
  std::string d = std::string(cw.dCode) + " ";
  if (cw.word == "ROUND" || cw.word == "ANNULUS") return d + "0 " + first + " " + second;
  if (cw.word == "SQUARE") return d + "2 " + first + " " + first;
  if (cw.word == "RECTANGLE") return d + "2 " + first + " " + second;
  if (cw.word == "OBLONG") return d + "3 " + first + " " + second;
  return std::nullopt;
}

// ApertureListConversion - ECAM (.gap) and GC-CAM (.lst) shapes
// ============================================================================

enum class CamDialect { Ecam, GcCam };

// The aperture line of a shape word, with the sizes a and b already written
// as texts. CUSTOM (and every unknown word) gives no line.
std::optional<std::string> camShapeLine(std::string_view word, const std::string& d,
                                        const std::string& a, const std::string& b,
                                        CamDialect dialect) {
  bool gcCam = dialect == CamDialect::GcCam;
  if (word == "ROUND" || (gcCam && word == "DRAW")) return d + "0 " + a + " " + a;
  if (word == "SQUARE") return d + "1 " + a + " " + a;
  if (word == "RECTANGLE") return d + "2 " + a + " " + b;
  if (word == "OBLONG") return d + "3 " + a + " " + b;
  if (word == (gcCam ? "ANNULUS" : "DONUT")) return d + "0 " + a + " " + b;
  if (word == "TARGET") return d + "6 " + a + " " + a;
  if (word == "THERMAL") return d + "5 " + a + " " + b;
  if (word == "OCTAGON") return d + "16 " + a + " 0.00";
  return std::nullopt;
}

// ApertureListConversion - ECAM (.gap)
// ============================================================================

// "D11 ROUND 20.00 0.508 0.00 0.000" -> "11 0  0.0200  0.0200": the first
// and third numbers are mils; the second and fourth are not used.
std::optional<std::string> ecamLine(std::string_view line, std::string& customDCodes) {
  RunScanner scan(line);
  CodeAndWord cw = codeAndWord(scan);
  if (!listDCode(cw.dCode)) return std::nullopt;
  std::string_view numbers[4];
  for (std::string_view& n : numbers) n = scan.next(isSizeChar);
  if (cw.word == "CUSTOM") {
    customDCodes += std::string(cw.dCode) + ",";
    return std::nullopt;
  }
  std::string a = size4(decimalOrZero(numbers[0]) / kMilsPerInch);
  std::string b = size4(decimalOrZero(numbers[2]) / kMilsPerInch);
  return camShapeLine(cw.word, std::string(cw.dCode) + " ", a, b, CamDialect::Ecam);
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

// A size with its unit token: the inch sign, MIL or MM; any other unit gives "0.00".
std::string gcCamSize(const std::string& value, const std::string& unit) {
  double v = decimalOrZero(value);
  if (unit == "\"") return size4(v);
  if (unit == "MIL") return size4(v / kMilsPerInch);
  if (unit == "MM") return size4(v / kMillimetresPerInch);
  return "0.00";
}

// Tokens 5 to 11: D code, shape word, first size and unit, (unused), second size and unit.
std::optional<std::string> gcCamLine(std::string_view line, std::string& customDCodes) {
  std::vector<std::string> t = gcCamTokens(line);
  std::string_view code = t[4];
  if (!code.empty() && code.front() == 'D') code.remove_prefix(1);
  std::optional<long long> dCode = listDCode(code);
  if (!dCode) return std::nullopt;
  if (t[5] == "CUSTOM") {
    customDCodes += std::to_string(*dCode) + ",";
    return std::nullopt;
  }
  return camShapeLine(t[5], std::string(code) + " ", gcCamSize(t[6], t[7]), gcCamSize(t[9], t[10]),
                      CamDialect::GcCam);
}

// ApertureListConversion - Polski (.apt)
// ============================================================================

// "... ROUND ... D12 ... !200! ..." style lines: a line with ROUND or SQUARE
// and " D". The D code is the digits after the first " D"; the size is the
// text between the first two "!" after the shape word, in 0.0001 inch.
// Throws FormatError naming the file and line when either is not a number.
std::optional<std::string> polskiLine(std::string_view line, std::string_view fileName,
                                      size_t lineNumber) {
  auto fail = [&](const std::string& what) {
    return FormatError(std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + what);
  };
  size_t round = line.find("ROUND");
  size_t shapeAt = round != std::string_view::npos ? round : line.find("SQUARE");
  size_t d = line.find(" D");
  if (shapeAt == std::string_view::npos || d == std::string_view::npos) return std::nullopt;

  size_t digitsEnd = d + 2;
  while (digitsEnd < line.size() && isDigit(line[digitsEnd])) ++digitsEnd;
  std::string_view digits = line.substr(d + 2, digitsEnd - d - 2);
  std::optional<long long> dCode = parseInteger(digits);
  if (digits.empty() || !dCode) {
    throw fail("D code after \" D\" is not a number");
  }

  std::string_view rest = line.substr(shapeAt);
  size_t bang1 = rest.find('!');
  size_t bang2 = bang1 == std::string_view::npos ? bang1 : rest.find('!', bang1 + 1);
  std::string_view sizeText = bang2 == std::string_view::npos
                                  ? std::string_view{}
                                  : rest.substr(bang1 + 1, bang2 - bang1 - 1);
  std::optional<double> size = parseDecimal(sizeText);
  if (!size) {
    throw fail("size '" + std::string(sizeText) + "' is not a number");
  }
  double inches = *size / 10.0 / kMilsPerInch;
  return std::to_string(*dCode) + " " + (round != std::string_view::npos ? "0 " : "1 ") +
         formatFixed(inches, 7, 5) + " " + formatFixed(inches, 7, 4);
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
  ApertureListConversion result;
  result.text = apertureFileHeader();
  // GC-CAM lists start after the first line that holds "CODE".
  bool inTable = type != ApertureListType::GcCam;
  std::vector<std::string_view> lines = textLines(source);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = upperCase(lines[i]);
    std::optional<std::string> out;
    switch (type) {
      case ApertureListType::IsoCam:
        out = isoCamLine(line);
        break;
      case ApertureListType::Ecam:
        out = ecamLine(line, result.customDCodes);
        break;
      case ApertureListType::GcCam:
        if (inTable) {
          out = gcCamLine(line, result.customDCodes);
        } else {
          inTable = line.find("CODE") != std::string::npos;
        }
        break;
      case ApertureListType::Polski:
        out = polskiLine(line, fileName, i + 1);
        break;
    }
    if (out) {
      result.text += *out + "\r\n";
      ++result.apertureLines;
    }
  }
  result.text += apertureFileTrailer(ApertureFileWriter::Import);
  return result;
}

std::string convertedApertureFileName(const std::string& source) {
  return source + ".Env";
}

ApertureListConversion convertApertureListFile(const std::string& source, ApertureListType type,
                                               const std::string& target) {
  std::optional<std::string> text = readTextFile(source);
  if (!text) throw IoError(source + ": cannot open the aperture list");
  ApertureListConversion result = convertApertureList(*text, type, source);
  writeFileReplacing(target, result.text);
  return result;
}

// ApertureListConversion - Names and the import's choice
// ============================================================================

const char* apertureListTypeName(ApertureListType type) {
  switch (type) {
    case ApertureListType::IsoCam:
      return "isocam";
    case ApertureListType::Ecam:
      return "ecam";
    case ApertureListType::GcCam:
      return "gccam";
    case ApertureListType::Polski:
      return "polski";
  }
  return "unknown";
}

std::optional<ApertureListType> apertureListTypeFromName(std::string_view name) {
  for (ApertureListType t : {ApertureListType::IsoCam, ApertureListType::Ecam,
                             ApertureListType::GcCam, ApertureListType::Polski}) {
    if (name == apertureListTypeName(t)) return t;
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
