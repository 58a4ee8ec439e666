// SPDX-License-Identifier: MIT
// drumplot-cli apertures convert | show.
#include "cli/apertures_command.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "apertures/aperture_converter.h"
#include "apertures/aperture_file.h"
#include "apertures/aperture_list_conversion.h"
#include "apertures/layer_aperture_table.h"
#include "apertures/working_aperture_table.h"
#include "cli/command_registry.h"
#include "engine/gerber_reader.h"
#include "engine/text.h"
#include "io/file_io.h"

namespace drumplot {

namespace {

constexpr const char* kExternalType = "aptconv";

// The external converter, waited for: on the command line its end stands
// for the user's "OK" after the conversion.
void convertExternally(const std::string& source, const std::string& target, std::ostream& out) {
  std::filesystem::path workDir = std::filesystem::current_path();
  ConverterProcess converter = beginExternalConversion(source, programDirectory(), workDir);
  int status = converter.wait();
  if (status != 0) out << "aptConv ended with status " << status << "\n";
  finishExternalConversion(target, workDir);
  out << "Wrote " << target << " from " << source << " (aptConv)\n";
}

}  // namespace

void runAperturesConvert(const AperturesConvertOptions& options, std::ostream& out) {
  std::string target =
      options.target.empty() ? convertedApertureFileName(options.source) : options.target;
  refuseOverwritingInput({target}, {options.source});
  if (options.type == kExternalType) {
    convertExternally(options.source, target, out);
    return;
  }
  std::optional<ApertureListType> type = apertureListTypeFromName(options.type);
  if (!type) throw std::invalid_argument("unknown aperture list type '" + options.type + "'");
  ApertureListConversion result = convertApertureListFile(options.source, *type, target);
  out << "Wrote " << target << ": " << result.apertureLines << " aperture lines from "
      << options.source << " (" << apertureListTypeName(*type) << ")\n";
  if (std::string message = result.customMessage(); !message.empty()) out << message << "\n";
}

void runAperturesShow(const AperturesShowOptions& options, std::ostream& out) {
  std::string unread;
  WorkingApertureTable table =
      layerApertureTable(options.gerberFile, options.apertureFile, options.preset, &unread);
  if (!unread.empty()) {
    cli::printWarning(unread);
  }

  char line[256];
  std::snprintf(line, sizeof line, "%-7s %-10s %9s %9s %18s  %s\n", "D-code", "Shape", "X", "Y",
                "Rotation/Int.Dia.", "Custom Name");
  out << line;
  for (int d = WorkingApertureTable::kFirstDCode; d <= WorkingApertureTable::kLastDCode; ++d) {
    const ApertureTableRow& row = table.row(d);
    if (!options.all && row.Shape == ApertureShape::None && row.CustomName.empty()) continue;
    std::snprintf(line, sizeof line, "%-7d %-10s %9s %9s %18s  ", d, apertureShapeName(row.Shape),
                  formatFixed(row.DLX, 0, 2).c_str(), formatFixed(row.DLY, 0, 2).c_str(),
                  formatFixed(row.Angle, 0, 2).c_str());
    out << line << row.CustomName << "\n";
  }
}

}  // namespace drumplot

// drumplot-cli apertures
// ============================================================================

namespace drumplot::cli {

void addAperturesCommand(CLI::App& app, Action& action) {
  auto* cmd = app.add_subcommand("apertures", "Convert aperture lists and show aperture tables");
  cmd->require_subcommand(1);

  auto convert = std::make_shared<AperturesConvertOptions>();
  auto* convertCmd = cmd->add_subcommand(
      "convert", "Convert a foreign aperture list into an aperture file (.Env)");
  convertCmd
      ->add_option("--type", convert->type,
                   "List format: isocam (.apl), ecam (.gap), gccam (.lst), polski (.apt), or "
                   "aptconv to run the external converter aptConv beside drumplot-cli (it "
                   "works on apert.txt and apert.env in the current directory)")
      ->required()
      ->check(CLI::IsMember({"isocam", "ecam", "gccam", "polski", kExternalType}));
  convertCmd->add_option("SOURCE", convert->source, "Aperture list")->required();
  convertCmd->add_option("-o,--output", convert->target,
                         "Aperture file to write (default: SOURCE followed by .Env)");
  convertCmd->callback(
      [convert, &action] { action = [convert] { runAperturesConvert(*convert, std::cout); }; });

  struct ShowOptions {
    AperturesShowOptions show;
    std::string format = "2.3,leading,abs,inch";
  };
  auto show = std::make_shared<ShowOptions>();
  auto* showCmd =
      cmd->add_subcommand("show", "Print the aperture table of a Gerber layer (sizes in mils)");
  showCmd->add_option("GERBER", show->show.gerberFile, "Gerber file (RS-274X or RS-274-D)")
      ->required();
  showCmd->add_option("--apertures", show->show.apertureFile,
                      "Aperture file of the layer (.Env); its apertures replace the file's own");
  showCmd->add_option("--format", show->format, kFormatHelp)->check(FormatSpecValidator());
  showCmd->add_flag("--all", show->show.all, "Print every row from D10 to D999");
  showCmd->callback([show, &action] {
    action = [show] {
      show->show.preset = parseFormatSpec(show->format);
      const std::string& apertures = show->show.apertureFile;
      if (!apertures.empty() && !std::filesystem::is_regular_file(apertures)) {
        printNote(apertures + " cannot be read; the Gerber file's own definitions are shown");
      }
      runAperturesShow(show->show, std::cout);
    };
  });
}

}  // namespace drumplot::cli
