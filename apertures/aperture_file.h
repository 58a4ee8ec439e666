// SPDX-License-Identifier: MIT
// The aperture file (".Env"): loading it into a reader's aperture records,
// and saving the working aperture table as one.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/aperture.h"

namespace drumplot {

class GerberReader;
class WorkingApertureTable;

// The largest size an aperture file holds, inches: anything larger is no
// aperture of a circuit board but a number read wrongly.
inline constexpr double kMaxApertureFileSize = 10.0;

// The last line of the trailer tells who wrote the file.
enum class ApertureFileWriter : char {
  Table = '}',   // saved from the aperture table
  Import = ']',  // produced by an aperture list conversion
};

// The three header lines and the six trailer lines, each ended by CR LF.
std::string apertureFileHeader();
std::string apertureFileTrailer(ApertureFileWriter writer);

// Reads the aperture lines of an aperture file's text into kind-0 records,
// replacing any record of the same D codes. Loading ends at the first line
// after the table that is not an aperture line. Throws FormatError naming
// `fileName` (and the line) when:
// - the text holds binary data, or nothing but blanks;
// - a shape code (or a range end) is not an integer;
// - a size is missing, not a number, negative or over 10 inches;
// - a line after the end of the table would define apertures (they would be lost);
// - no line defines an aperture and the text does not start as an aperture file does.
void loadApertureText(std::string_view text, ApertureTable& apertures, std::string_view fileName);

// LoadApertureFile: an empty name, or a file that does not exist, does
// nothing. A file that cannot be read throws IoError.
void LoadApertureFile(ApertureTable& apertures, const std::string& fileName);

// What every drawing of a layer does after the reader has parsed the Gerber
// file's own definitions: the layer's aperture file replaces them D code by D code.
void LoadApertureFile(GerberReader& reader, const std::string& fileName);

// The aperture-file step of a layer drawing (LayerRenderer::readApertures)
// for a layer whose aperture file is `fileName` (empty: none). A drawing
// without the file it names would be silently wrong: a named file that does
// not exist throws IoError.
std::function<void(ApertureTable&)> apertureFileLoader(std::string fileName);

// The aperture file of the working table: rows of D codes 10 to 999 that are
// of kind 0 or edited, and neither None nor Custom. Throws FormatError naming
// the D code when a size written is negative or over 10 inches.
std::string apertureFileText(const WorkingApertureTable& table);

// SaveApertureFile: creates or replaces the file. Throws IoError, or
// FormatError as apertureFileText (nothing is written then).
void SaveApertureFile(const WorkingApertureTable& table, const std::string& fileName);

}  // namespace drumplot
