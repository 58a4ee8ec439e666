// SPDX-License-Identifier: MIT
#include "cli/usage_hints.h"

#include <algorithm>
#include <numeric>

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

}  // namespace drumplot::cli
