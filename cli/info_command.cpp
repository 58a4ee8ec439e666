// SPDX-License-Identifier: MIT
#include "cli/info_command.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/command_registry.h"
#include "cli/json_writer.h"
#include "engine/aperture_stamp.h"
#include "engine/band_geometry.h"
#include "engine/data_size.h"
#include "engine/gerber_reader.h"
#include "engine/interpreter.h"
#include "engine/shape_rasterizer.h"

namespace drumplot {

namespace {

const char* kindName(ApertureKind kind) {
  switch (kind) {
    case ApertureKind::File:
      return "file";
    case ApertureKind::Standard:
      return "standard";
    case ApertureKind::Macro:
      return "macro";
    case ApertureKind::Block:
      return "block";
  }
  return "unknown";
}

std::string fixed(double v, int decimals = 6) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

// Why the reach was not measured (the file cannot be drawn), or empty.
std::string unmeasuredReason(const GerberReader& reader) {
  if (const auto& r = reader.Operations.recursiveBlock) {
    return "aperture block D" + std::to_string(r->dCode) + " flashes itself (line " +
           std::to_string(r->line) + ")";
  }
  if (reader.Operations.exceeds(kMaxDrawnOperations)) {
    return "the file expands past " + groupedCount(kMaxDrawnOperations) + " operations";
  }
  return {};
}

void printJson(const GerberReader& reader, const LayerReach& reach, std::ostream& out) {
  const DataFormat& f = reader.format;
  const OperationCount& ops = reader.Operations;
  out << "{" << jsonName("file", reader.FileName)
      << ",\"statements\":" << reader.program.expandedStatements
      << ",\"operations\":" << ops.operations << ",\"recursive_block\":";
  if (ops.recursiveBlock) {
    out << "{\"d\":" << ops.recursiveBlock->dCode << ",\"line\":" << ops.recursiveBlock->line
        << "}";
  } else {
    out << "null";
  }
  out << ",\"format\":{"
      << "\"int_digits\":" << int(f.IntDigits) << ",\"dec_digits\":" << int(f.DecDigits)
      << ",\"zero_suppression\":" << jsonString(zeroSuppressionName(f.ZeroSuppression))
      << ",\"metric\":" << (f.Metric ? "true" : "false")
      << ",\"absolute\":" << (f.Absolute ? "true" : "false") << "}"
      << ",\"unit_scale\":" << jsonNumber(reader.UnitScale) << ",\"extents\":{"
      << "\"min_x\":" << jsonNumber(reader.MinX) << ",\"min_y\":" << jsonNumber(reader.MinY)
      << ",\"max_x\":" << jsonNumber(reader.MaxX) << ",\"max_y\":" << jsonNumber(reader.MaxY)
      << ",\"width\":" << jsonNumber(reader.Width) << ",\"height\":" << jsonNumber(reader.Height)
      << "},\"reach\":";
  if (unmeasuredReason(reader).empty()) {
    out << "{\"min_x\":" << jsonNumber(reach.minX) << ",\"min_y\":" << jsonNumber(reach.minY)
        << ",\"max_x\":" << jsonNumber(reach.maxX) << ",\"max_y\":" << jsonNumber(reach.maxY)
        << "}";
  } else {
    out << "null";
  }
  out << ",\"apertures\":[";
  bool first = true;
  for (int d : reader.Apertures.definedCodes()) {
    const Aperture& a = *reader.Apertures.find(d);
    out << (first ? "" : ",") << "{\"d\":" << d << ",\"kind\":" << jsonString(kindName(a.Kind))
        << ",\"modifiers\":" << jsonString(a.Modifiers) << ",\"macro\":" << jsonString(a.MacroName)
        << ",\"params\":[";
    for (size_t n = 1; n < a.Params.size(); ++n) {
      out << (n > 1 ? "," : "") << jsonNumber(a.Params[n]);
    }
    out << "]}";
    first = false;
  }
  out << "]}\n";
}

void printText(const GerberReader& reader, const LayerReach& reach, std::ostream& out) {
  const DataFormat& f = reader.format;
  out << "File:        " << reader.FileName << "\n"
      << "Statements:  " << reader.program.expandedStatements
      << (reader.Statements.truncated() ? " (cut at the statement limit)" : "") << "\n"
      << "Operations:  " << groupedCount(reader.Operations.operations)
      << " (flashes and draws, every copy counted)\n";
  if (const auto& r = reader.Operations.recursiveBlock) {
    out << "Blocks:      D" << r->dCode << " flashes itself (line " << r->line
        << "): the file cannot be drawn\n";
  }
  out << "Format:      " << int(f.IntDigits) << "." << int(f.DecDigits) << ", "
      << zeroSuppressionName(f.ZeroSuppression) << " zero suppression, "
      << (f.Absolute ? "absolute" : "incremental") << ", " << (f.Metric ? "mm" : "inch") << "\n"
      << "Unit scale:  " << fixed(reader.UnitScale, 17) << "\n"
      << "Extents:     X " << fixed(reader.MinX) << " .. " << fixed(reader.MaxX) << "  Y "
      << fixed(reader.MinY) << " .. " << fixed(reader.MaxY) << " inch\n"
      << "Size:        " << fixed(reader.Width) << " x " << fixed(reader.Height) << " inch ("
      << fixed(reader.Width * 25.4, 3) << " x " << fixed(reader.Height * 25.4, 3) << " mm)\n";
  if (const std::string why = unmeasuredReason(reader); !why.empty()) {
    out << "Reach:       not measured: " << why << "\n";
  } else {
    out << "Reach:       X " << fixed(reach.minX) << " .. " << fixed(reach.maxX) << "  Y "
        << fixed(reach.minY) << " .. " << fixed(reach.maxY) << " inch (what it draws)\n";
  }
  auto codes = reader.Apertures.definedCodes();
  out << "Apertures:   " << codes.size() << "\n";
  for (int d : codes) {
    const Aperture& a = *reader.Apertures.find(d);
    out << "  D" << d << "  " << kindName(a.Kind);
    if (!a.MacroName.empty()) out << "  " << a.MacroName;
    if (!a.Modifiers.empty()) out << "  " << a.Modifiers;
    if (a.Kind == ApertureKind::Macro && a.Params.size() > 1) {
      out << "  params";
      for (size_t n = 1; n < a.Params.size(); ++n) out << " $" << n << "=" << a.Params[n];
      out << "  (" << a.MacroTable.size() << " macro lines)";
    }
    out << "\n";
  }
}

}  // namespace

void runInfo(const InfoOptions& options, std::ostream& out, std::ostream& warnings) {
  const uint64_t budget =
      memoryBudgetBytes(options.memory_MB > 0 ? options.memory_MB : kMemoryDefault_MB);
  StatementLimits limits;
  limits.maxTextBytes = budget;
  GerberReader reader(options.preset, limits);
  reader.FileName = options.gerberFile;
  reader.prepare();
  for (const std::string& warning : reader.warnings.messages) {
    cli::printWarning(warning, warnings);
  }
  std::string sizeProblem = implausibleSizeText(reader, options.plotWidth, options.plotHeight);
  if (!sizeProblem.empty()) {
    cli::printWarning(options.gerberFile + ": " + sizeProblem, warnings);
  }
  // The reach is drawn for: only of a file that can be drawn. Its stamps
  // keep within a quarter of the memory setting, as an export's do.
  LayerReach reach;
  if (unmeasuredReason(reader).empty()) {
    StampCache stamps(budget / 4);
    ShapeRasterizer shapes(reader.Apertures, 1000.0, &stamps);
    reach = measureReach(reader, shapes);
  }
  if (reach.empty) reach = {reader.MinX, reader.MinY, reader.MaxX, reader.MaxY, false};
  if (options.json) {
    printJson(reader, reach, out);
  } else {
    printText(reader, reach, out);
  }
}

}  // namespace drumplot

// drumplot-cli info
// ============================================================================

namespace drumplot::cli {

void addInfoCommand(CLI::App& app, Action& action) {
  struct Options {
    InfoOptions info;
    std::string format = "2.3,leading,abs,inch";
    std::string settingsFile;
  };
  auto options = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "info", "Load a Gerber file and print its data format, extents and apertures");
  cmd->add_option("GERBER", options->info.gerberFile, "Gerber file (RS-274X or RS-274-D)")
      ->required();
  cmd->add_option("--format", options->format, kFormatHelp)->check(FormatSpecValidator());
  cmd->add_flag("--json", options->info.json, "Print one JSON object instead of text");
  cmd->add_option("--memory", options->info.memory_MB,
                  "Memory for the aperture stamps the reach is measured with, MB (default: the "
                  "settings' Memory)")
      ->check(CLI::Range(1, 1 << 20));
  addSettingsOption(*cmd, options->settingsFile);
  cmd->callback([options, &action] {
    action = [options] {
      requireGerberFile(options->info.gerberFile, "info");
      options->info.preset = parseFormatSpec(options->format);
      JobSettings settings = readCommandSettings(options->settingsFile);
      options->info.plotWidth = settings.PlotWidth;
      options->info.plotHeight = settings.PlotHeight;
      if (options->info.memory_MB == 0) options->info.memory_MB = settings.memoryMegabytes;
      runInfo(options->info, std::cout, std::cerr);
    };
  });
}

}  // namespace drumplot::cli
