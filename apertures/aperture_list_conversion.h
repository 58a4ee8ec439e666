// SPDX-License-Identifier: MIT
// Conversion of foreign aperture lists (IsoCam, ECAM, GC-CAM, Polski) into
// aperture files, and the choice the aperture import makes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace drumplot {

// The foreign list formats; the values are their entries in the import's
// "Aperture type" box.
enum class ApertureListType {
  IsoCam = 1,  // ".apl"
  Ecam = 2,    // ".gap"
  GcCam = 3,   // ".lst"
  Polski = 4,  // ".apt"
};

// "isocam", "ecam", "gccam", "polski" and back.
const char* apertureListTypeName(ApertureListType type);
std::optional<ApertureListType> apertureListTypeFromName(std::string_view name);

struct ApertureListConversion {
  std::string text;          // the aperture file, header to trailer
  size_t apertureLines = 0;  // aperture lines written
  std::string customDCodes;  // D codes defined as CUSTOM, each followed by ","

  // "Aperture : 20,21, is defined as CUSTOM", or empty when there are none.
  std::string customMessage() const;
};

// Converts the text of a list into an aperture file that its reader takes.
// Lines without a D code of the list and a shape word it knows are passed
// over. Throws FormatError naming `fileName` (and the line); nothing is
// produced then:
// - the text holds binary data, or gives no aperture line (empty, or a list
//   of another kind);
// - a size written is missing, not a number (nor in a unit of the list),
//   negative or over 10 inches;
// - a Polski D code is not a number, or not one of 10 to 9999.
ApertureListConversion convertApertureList(std::string_view source, ApertureListType type,
                                           std::string_view fileName);

// The file a conversion writes: the source name followed by ".Env".
std::string convertedApertureFileName(const std::string& source);

// Converts `source` into `target` (created or replaced only when the whole
// conversion succeeded). Throws IoError when the source cannot be read or the
// target written, FormatError as convertApertureList.
ApertureListConversion convertApertureListFile(const std::string& source, ApertureListType type,
                                               const std::string& target);

// What the aperture import does with the chosen file, from the filter index
// of the "Aperture type" box (0 to 5) and the "Use aperture converter" flag.
enum class ApertureImportAction {
  AttachUnchanged,    // index 0: the file is an aperture file
  ConvertList,        // indexes 1 to 4: convert it as that ApertureListType
  ExternalConverter,  // index 5 with the flag: hand it to aptConv
  ClearEntry,         // no case applies: the layer's aperture entry is cleared
};
ApertureImportAction apertureImportAction(int filterIndex, bool useConverter);

}  // namespace drumplot
