// SPDX-License-Identifier: MIT
// GerberProgram: a Gerber file's statements decoded once into drawing
// operations. Coordinates are read here, in the format and unit in force
// where they stand; the operations keep them as inches. Step-and-repeat
// blocks and aperture blocks are kept once, with their counts, and repeated
// where they are drawn.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/data_format.h"
#include "engine/statement_list.h"

namespace drumplot {

// A linear map of the plane: (x, y) -> (xx x + xy y, yx x + yy y).
struct Linear2 {
  double xx = 1.0, xy = 0.0, yx = 0.0, yy = 1.0;

  bool identity() const { return xx == 1.0 && xy == 0.0 && yx == 0.0 && yy == 1.0; }
  double det() const { return xx * yy - xy * yx; }
  void apply(double& x, double& y) const {
    const double u = xx * x + xy * y;
    y = yx * x + yy * y;
    x = u;
  }
  // This map after `inner`: (*this)(inner(p)).
  Linear2 operator*(const Linear2& inner) const {
    return {xx * inner.xx + xy * inner.yx, xx * inner.xy + xy * inner.yy,
            yx * inner.xx + yy * inner.yx, yx * inner.xy + yy * inner.yy};
  }
  bool operator==(const Linear2&) const = default;
};

// Where a drawing lands: point p goes to origin + linear(p), inches.
struct Placement {
  Linear2 linear;
  double originX = 0.0, originY = 0.0;

  void apply(double& x, double& y) const {
    linear.apply(x, y);
    x += originX;
    y += originY;
  }
};

// How apertures are turned where they are flashed (and scaled where they
// draw): mirrored first, then rotated counterclockwise, and scaled.
struct ApertureTransform {
  bool mirrorX = false;  // x -> -x
  bool mirrorY = false;  // y -> -y
  double rotation_deg = 0.0;
  double scale = 1.0;

  Linear2 linear() const;
  bool operator==(const ApertureTransform&) const = default;
};

// The image statements of older files (axis select, mirror, scale, offset,
// rotation and justification), as one placement of the whole image, and
// the image polarity.
struct ImageStatements {
  bool swapAxes = false;                  // %ASAYBX
  bool mirrorA = false, mirrorB = false;  // %MI
  double scaleA = 1.0, scaleB = 1.0;      // %SF
  double offsetA = 0.0, offsetB = 0.0;    // %OF, inches
  int rotation_deg = 0;                   // %IR: 0, 90, 180 or 270
  // %IJ, per axis: 0 none, 1 left (the image's low edge at `justify`), 2 centre.
  int justifyA = 0, justifyB = 0;
  double justifyOffsetA = 0.0, justifyOffsetB = 0.0;  // inches
  bool negative = false;                              // %IPNEG

  // Where a file point lands (justification not included: it needs the extents).
  Placement placement() const;
  // How apertures turn with the image: the axis swap, the mirror and the
  // rotation, without the scale factors (which move coordinates only).
  Linear2 apertureLinear() const;
};

// One decoded operation. Coordinates are inches in the file's own frame;
// incremental ones are the steps to add to the running position.
struct GerberOp {
  enum class Kind : uint8_t {
    Interpolation,  // value 1 linear, 2 clockwise, 3 counterclockwise (G01, G02, G03)
    Quadrant,       // value 74 single, 75 multi (G74, G75)
    RegionBegin,    // G36
    RegionEnd,      // G37
    Select,         // value: the D code
    Operate,        // dCode 1 draw, 2 move, 3 flash, 0 or 4 move; -1 the last one
    DrawMode,       // value: the D code that statements without one act with
    Polarity,       // value 1 dark, 0 clear (%LPD, %LPC)
    Transform,      // value: index of the aperture transform in force from here
    RepeatBegin,    // value: index of the step-and-repeat block
    RepeatEnd,
    Stop,  // M02
  };
  static constexpr uint8_t kHasX = 1, kHasY = 2, kHasI = 4, kHasJ = 8, kIncremental = 16;

  Kind kind = Kind::Operate;
  uint8_t flags = 0;
  int8_t dCode = -1;
  int32_t value = 0;
  uint32_t line = 0;  // the file line of the statement
  double x = 0.0, y = 0.0, i = 0.0, j = 0.0;

  bool has(uint8_t flag) const { return (flags & flag) != 0; }
};

// A step-and-repeat block: its operations follow the RepeatBegin up to the
// matching RepeatEnd, drawn nx x ny times, copy (i, j) moved by
// (i stepX, j stepY), i outer and j inner.
struct RepeatBlock {
  int64_t nx = 1, ny = 1;
  double stepX = 0.0, stepY = 0.0;  // file units
  double unitScale = 1.0;           // inches per file unit at the block
  uint64_t statements = 0;          // statement texts inside, for the expanded count

  // The offset of copy k along one axis, inches: the step times k, kept to
  // six decimals in file units.
  static double offset(int64_t k, double step, double unitScale);
};

// What a drawing leaves out because the file cannot be read there as it
// stands: a warning where the file is drawn, an error of the check.
enum class DrawingFault : uint8_t {
  None,                  // a plain warning
  UnreadableExpression,  // a macro field that is no expression reads as 0
  NestingTooDeep,        // an expression or a block flash nested past the limit
};

// What reading a file found to say: each message names the file and line.
struct ReadWarnings {
  std::vector<std::string> messages;
  std::vector<DrawingFault> faults;  // by message
  void add(std::string message, DrawingFault fault = DrawingFault::None) {
    messages.push_back(std::move(message));
    faults.push_back(fault);
  }
};

struct GerberProgram {
  // The value of file attribute `name` (".FileFunction"), or nullptr.
  const std::string* fileAttribute(std::string_view name) const {
    for (const auto& [n, v] : fileAttributes) {
      if (n == name) return &v;
    }
    return nullptr;
  }

  std::vector<GerberOp> ops;
  std::vector<RepeatBlock> repeats;
  std::vector<ApertureTransform> transforms{ApertureTransform{}};  // [0] is none
  // Aperture blocks (%AB) by D code: their operations in the block's own frame.
  std::unordered_map<int, std::vector<GerberOp>> blocks;
  ImageStatements image;
  // The unit (inches per file unit) in force at each %ADD statement, by its
  // index in the statement list.
  std::unordered_map<size_t, double> definitionUnits;
  // The format and unit in force at the end of the file.
  DataFormat format;
  double unitScale = 1.0;
  // Statement texts with every step-and-repeat copy counted.
  uint64_t expandedStatements = 0;
  // File attributes (%TF, and the "G04 #@! TF" comments of older X2 files):
  // name (".FileFunction") and value ("Copper,L1,Top"), in file order. They
  // change nothing that is drawn.
  std::vector<std::pair<std::string, std::string>> fileAttributes;
  bool hasDrawing = false;  // a draw or flash statement outside blocks
  bool hasEnd = false;      // M02 seen

  // The bytes the decoded operations hold (what a drawing keeps of the file).
  uint64_t decodedBytes() const;
};

// Decodes the statements. The preset is the operator's format: it serves
// what the file does not state; the file's own format, unit and G90/G91
// statements take effect where they stand, the first of each also for what
// comes before it. Throws FormatError naming the file and line for a
// coordinate that does not fit.
GerberProgram decodeProgram(const StatementList& statements, const DataFormat& preset,
                            const std::string& fileName, ReadWarnings& warnings);

}  // namespace drumplot
