// SPDX-License-Identifier: MIT
#include "cli/usage_hints.h"

#include <algorithm>
#include <numeric>
#include <sstream>
#include <utility>

namespace drumplot::cli {

size_t editDistance(std::string_view a, std::string_view b) {
  // Rows of the optimal string alignment table: two back, one back, this one.
  std::vector<size_t> older(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
  std::iota(previous.begin(), previous.end(), size_t{0});
  for (size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], older[j - 2] + 1);
    }
    older.swap(previous);
    previous.swap(row);
  }
  return previous[b.size()];
}

namespace {

// The known name nearest to `typed`, when it is near enough to be meant:
// at most two edits, and fewer than half the typed letters.
std::string nearest(std::string_view typed, const std::vector<std::string>& known) {
  std::string best;
  size_t bestDistance = 3;
  for (const std::string& name : known) {
    const size_t d = editDistance(typed, name);
    if (d < bestDistance && 2 * d < typed.size()) {
      best = name;
      bestDistance = d;
    }
  }
  return best;
}

std::vector<std::string> commandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
  return names;
}

std::vector<std::string> optionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* at = &app; at != nullptr; at = at->get_parent()) {
    for (const CLI::Option* option : at->get_options()) {
      for (const std::string& n : option->get_lnames()) names.push_back("--" + n);
      for (const std::string& n : option->get_snames()) names.push_back("-" + n);
    }
  }
  return names;
}

const CLI::Option* knownOption(const CLI::App& app, const std::string& name) {
  for (const CLI::App* at = &app; at != nullptr; at = at->get_parent()) {
    if (const CLI::Option* option = at->get_option_no_throw(name)) return option;
  }
  return nullptr;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : separator) + w;
  return text;
}

// "drumplot-cli export job.wpr --layers 2": the command line with word
// `index` replaced, in the order it was typed.
std::string commandLine(std::vector<std::string> args, size_t index, const std::string& word) {
  args[index] = word;
  return "drumplot-cli " + joined(args, " ");
}

}  // namespace

std::string unknownWordHint(const CLI::App& app, const std::vector<std::string>& args) {
  const CLI::App* at = &app;
  std::string command = "drumplot-cli";
  bool commandChosen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--") break;
    if (word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9')) {
      const size_t equals = word.find('=');
      const std::string name = word.substr(0, equals);
      if (const CLI::Option* option = knownOption(*at, name)) {
        if (option->get_type_size_max() > 0 && equals == std::string::npos) ++i;  // its value
        continue;
      }
      if (word.size() > 2 && word[1] != '-' && knownOption(*at, word.substr(0, 2))) continue;
      std::string hint = command + " has no option " + name;
      const std::string meant = nearest(name, optionNames(*at));
      if (!meant.empty()) {
        hint +=
            "; did you mean " + meant + "?\n  " +
            commandLine(args, i, equals == std::string::npos ? meant : meant + word.substr(equals));
      }
      return hint;
    }
    const std::vector<std::string> commands = commandNames(*at);
    if (commands.empty() || commandChosen) continue;
    if (std::find(commands.begin(), commands.end(), word) != commands.end()) {
      at = at->get_subcommand(word);
      command += " " + word;
      commandChosen = commandNames(*at).empty();
      continue;
    }
    std::string hint = command + " has no command '" + word + "'";
    const std::string meant = nearest(word, commands);
    if (meant.empty()) return hint + " (its commands: " + joined(commands, ", ") + ")";
    return hint + "; did you mean '" + meant + "'?\n  " + commandLine(args, i, meant);
  }
  return {};
}

// Help pages - Wrapping
// ============================================================================

namespace {

constexpr size_t kHelpWidth = 80;
constexpr size_t kNameColumn = 30;

}  // namespace

std::string wrapText(const std::string& text, size_t width) {
  std::string out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    size_t column = 0;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
      if (column > 0 && column + 1 + word.size() > width) {
        out += '\n';
        column = 0;
      } else if (column > 0) {
        out += ' ';
        ++column;
      }
      out += word;
      column += word.size();
    }
    out += '\n';
  }
  if (!text.empty() && text.back() != '\n' && !out.empty()) out.pop_back();
  return out;
}

WrappingFormatter::WrappingFormatter() {
  column_width(kNameColumn);
}

std::string WrappingFormatter::make_description(const CLI::App* app) const {
  return wrapText(CLI::Formatter::make_description(app), kHelpWidth - 2);
}

std::string WrappingFormatter::make_subcommand(const CLI::App* sub) const {
  std::stringstream out;
  CLI::detail::format_help(out, sub->get_display_name(true),
                           wrapText(sub->get_description(), kHelpWidth - kNameColumn),
                           get_column_width());
  return out.str();
}

std::string WrappingFormatter::make_option_desc(const CLI::Option* option) const {
  return wrapText(option->get_description(), kHelpWidth - kNameColumn);
}

// Help pages - Examples
// ============================================================================

void addHelpExamples(CLI::App& app) {
  const std::pair<const char*, const char*> examples[] = {
      {"info",
       "drumplot-cli info core.GTL\ndrumplot-cli info --json --format 2.4,trailing core.GTL"},
      {"render",
       "drumplot-cli render core.GTO -o silk.png --dpi 2032\n"
       "drumplot-cli render demo-silk.pho --apertures demo-silk.Env -o silk.tif"},
      {"job",
       "drumplot-cli job new panel.wpr\ndrumplot-cli job add-board panel.wpr kicad-board/ --at "
       "0.4,0.4"},
      {"job new", "drumplot-cli job new panel.wpr"},
      {"job add",
       "drumplot-cli job add panel.wpr core.GTL --layer 1 --at 0.4,0.4\n"
       "drumplot-cli job add panel.wpr old.pho --format 2.4,trailing,abs,inch"},
      {"job add-board",
       "drumplot-cli job add-board panel.wpr kicad-board/ --at 0.4,0.4\n"
       "drumplot-cli job add-board panel.wpr gerbers.zip --map layers.ini\n"
       "drumplot-cli job add-board panel.wpr altium.zip --map \"*.gm1=Outline\" --map "
       "\"*.gko=None\""},
      {"job layer",
       "drumplot-cli job layer panel.wpr --board 1 --layer 2 core.GBL\n"
       "drumplot-cli job layer panel.wpr --board 1 --layer 5 silk.pho --apertures silk.Env"},
      {"job move", "drumplot-cli job move panel.wpr --board 2 --to 3.5,0.4"},
      {"job relative-move", "drumplot-cli job relative-move panel.wpr --by 0.5,0"},
      {"job lock", "drumplot-cli job lock panel.wpr --board 1"},
      {"job unlock", "drumplot-cli job unlock panel.wpr"},
      {"job delete", "drumplot-cli job delete panel.wpr --board 3"},
      {"job panelize",
       "drumplot-cli job panelize panel.wpr --board 1 --repeat 1,1 --gap 5,5   "
       "(a 2 x 2 panel)"},
      {"job mark",
       "drumplot-cli settings init GerbPrj.ini\n"
       "  then in its [Setup]: NameM1=Target and PathM1=/path/to/examples/demo/demo-mark.gbr\n"
       "drumplot-cli job mark panel.wpr --name Target --at 0.1,0.1 --settings GerbPrj.ini"},
      {"job list", "drumplot-cli job list panel.wpr\ndrumplot-cli job list --json panel.wpr"},
      {"job repair", "drumplot-cli job repair old.wpr\ndrumplot-cli job repair old.wpr --write"},
      {"job template",
       "drumplot-cli job template panel.wpr -o shop-2x2.ini --dpi 4064 --tech-area\n"
       "drumplot-cli job template panel.wpr -o shop.ini --layers 1,2 --format fpf --mirror"},
      {"apertures",
       "drumplot-cli apertures convert --type isocam board.apl\n"
       "drumplot-cli apertures show silk.pho --apertures silk.Env"},
      {"apertures convert", "drumplot-cli apertures convert --type ecam board.gap -o board.Env"},
      {"apertures show", "drumplot-cli apertures show silk.pho --apertures silk.Env --all"},
      {"drill",
       "drumplot-cli drill panel.wpr --in core.TXT --out panel.drl\n"
       "drumplot-cli drill panel.wpr --out panel.drl --offset 0.5,0 --unit mm "
       "--mark-tool Target=T09C0.125 --overview drill.png"},
      {"export",
       "drumplot-cli export panel.wpr -o top.fpf --layers 1 --dpi 4064 --mirror\n"
       "drumplot-cli export panel.wpr -o panel.tif --layers 1,2 --split-layers --tech-area"},
      {"bmp", "drumplot-cli bmp panel.wpr -o Clip.bmp --layers 1"},
      {"fpf",
       "drumplot-cli fpf info top.fpf\ndrumplot-cli fpf decode top.fpf --part preview -o "
       "preview.png"},
      {"fpf info", "drumplot-cli fpf info top.fpf"},
      {"fpf decode",
       "drumplot-cli fpf decode top.fpf -o top.pbm\n"
       "drumplot-cli fpf decode top.fpf --part preview -o preview.png"},
      {"fpf diff", "drumplot-cli fpf diff old.fpf new.tif --diff changes.png"},
      {"verify",
       "drumplot-cli verify panel.wpr top.fpf --layers 1 --dpi 4064 --mirror\n"
       "drumplot-cli verify panel.wpr panel.tif --layers 1,2 --diff changes.png --json"},
      {"plot",
       "drumplot-cli plot customer.zip --template shop-2x2.ini --out films/customer\n"
       "drumplot-cli plot kicad-board/ --template shop.ini --out films/kicad --force"},
      {"check",
       "drumplot-cli check panel.wpr --dpi 4064 --layers 1,2\n"
       "drumplot-cli check --json panel.wpr"},
      {"settings", "drumplot-cli settings init GerbPrj.ini\ndrumplot-cli settings show"},
      {"settings init", "drumplot-cli settings init ~/.config/drumplot/GerbPrj.ini"},
      {"settings show", "drumplot-cli settings show --settings GerbPrj.ini"},
  };
  for (const auto& [path, text] : examples) {
    CLI::App* command = &app;
    std::istringstream words(path);
    for (std::string word; words >> word && command != nullptr;) {
      CLI::App* next = nullptr;
      for (CLI::App* sub : command->get_subcommands({})) {
        if (sub->get_name() == word) next = sub;
      }
      command = next;
    }
    if (command == nullptr) continue;  // a command this program is built without
    std::string footer = "Examples:";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) footer += "\n  " + line;
    command->footer(footer);
  }
}

}  // namespace drumplot::cli
