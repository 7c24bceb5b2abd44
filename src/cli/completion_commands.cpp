// The shell's completion asks the program which words can come next, so that it never goes stale:
//
//   halvern-cli __complete -- WORD... PARTIAL
//
// prints, one a line and sorted, the commands, options and values that can follow the WORDs and
// start with PARTIAL, read from the command line's own grammar. Where a file goes it prints
// "@file", or "@file EXT" where the help names the file FILE.EXT, for the shell to list files.
// The words come after "--", so that the options among them are not taken as this command's.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_command.h"

namespace halvern::cli {

namespace {

// The most values a range offers, "CHANNEL INT in [1 - 16]"; wider ones offer none.
constexpr long kMaxRangeValues = 16;

// Where the words typed so far leave the parse.
struct Position {
  CLI::App* level = nullptr;
  CLI::Option* awaitingValue = nullptr;  // the option the next word is the value of
  std::size_t positionals = 0;           // positional words given to `level`
  bool onlyPositionals = false;          // after "--"
};

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool isOptionWord(const Position& at, std::string_view word) {
  return !at.onlyPositionals && word.size() > 1 && word[0] == '-';
}

// The option that `word` names at `level`, or above it, as the parse passes on the options a
// command does not know: "--read", "-y", "--read=5".
CLI::Option* namedOption(CLI::App& level, const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  for (CLI::App* at = &level; at != nullptr; at = at->get_parent()) {
    for (CLI::Option* option : at->get_options()) {
      if (!option->get_positional() && option->check_name(name)) return option;
    }
  }
  return nullptr;
}

CLI::App* namedSubcommand(CLI::App& level, const std::string& word) {
  const auto found =
      level.get_subcommands([&word](CLI::App* sub) { return sub->check_name(word); });
  return found.empty() ? nullptr : found.front();
}

std::vector<CLI::Option*> positionals(CLI::App& level) {
  return level.get_options([](CLI::Option* option) { return option->get_positional(); });
}

// The positional that positional word number `index` (from 0) goes to, if any.
CLI::Option* positionalAt(CLI::App& level, std::size_t index) {
  std::size_t first = 0;
  for (CLI::Option* option : positionals(level)) {
    const int wanted = option->get_items_expected_max();
    // A list takes every word from its first on.
    if (wanted >= CLI::detail::expected_max_vector_size) return option;
    const std::size_t count = static_cast<std::size_t>(std::max(wanted, 1));
    if (index < first + count) return option;
    first += count;
  }
  return nullptr;
}

// Follows the words as the parse would: options with their values, subcommands, positionals.
Position follow(CLI::App& top, const std::vector<std::string>& words) {
  Position at{&top};
  for (const std::string& word : words) {
    if (at.awaitingValue) {
      at.awaitingValue = nullptr;
    } else if (!at.onlyPositionals && word == "--") {
      at.onlyPositionals = true;
    } else if (isOptionWord(at, word)) {
      CLI::Option* option = namedOption(*at.level, word);
      if (option && option->get_items_expected_max() > 0 && word.find('=') == std::string::npos)
        at.awaitingValue = option;
    } else if (CLI::App* sub = at.onlyPositionals || at.positionals > 0
                                   ? nullptr
                                   : namedSubcommand(*at.level, word)) {
      at.level = sub;
    } else {
      ++at.positionals;
    }
  }
  return at;
}

// The validators of `option`, which the values offered must pass.
std::vector<CLI::Validator*> validators(CLI::Option& option) {
  std::vector<CLI::Validator*> all;
  for (int index = 0;; ++index) {
    try {
      all.push_back(option.get_validator(index));
    } catch (const CLI::OptionNotFound&) {
      return all;
    }
  }
}

// What `option`'s help calls its value: "FILE.set", "DEVICE", "space|comma|tab", "" for none.
std::string valueName(const CLI::Option& option) {
  if (option.get_positional()) return option.get_name(true);
  const std::string type = option.get_type_name();
  return type.substr(0, type.find(':'));
}

// "@file" where the value is a file or a device, "@file EXT" for FILE.EXT; empty otherwise.
std::string fileMarker(const std::string& name) {
  const auto dot = name.rfind('.');
  const std::string stem = name.substr(0, dot);
  const bool upperStem = !stem.empty() && std::all_of(stem.begin(), stem.end(), [](char c) {
    return std::isupper(static_cast<unsigned char>(c)) != 0;
  });
  if (!upperStem) return {};
  if (dot != std::string::npos && dot + 1 < name.size()) return "@file " + name.substr(dot + 1);
  if (stem == "FILE" || stem == "DEVICE") return "@file";
  return {};
}

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  while (from <= text.size()) {
    auto to = text.find(separator, from);
    if (to == std::string_view::npos) to = text.size();
    parts.emplace_back(text.substr(from, to - from));
    from = to + 1;
  }
  return parts;
}

std::string trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

// The values the help names for `option`: the alternatives of "on|off", the first set of a
// validator ("{se,diff}", "{off->0,on->1}": the words left of "->") or a short range "[1 - 4]".
std::vector<std::string> namedValues(const CLI::Option& option) {
  std::vector<std::string> values;
  const std::string name = valueName(option);
  if (!option.get_positional() && name.find('|') != std::string::npos) return split(name, '|');

  const std::string type = option.get_type_name();
  if (const auto open = type.find('{'); open != std::string::npos) {
    const auto close = type.find('}', open);
    if (close == std::string::npos) return values;
    for (const std::string& item : split(type.substr(open + 1, close - open - 1), ',')) {
      std::string word = trimmed(item.substr(0, item.find("->")));
      if (!word.empty()) values.push_back(word);
    }
    return values;
  }
  if (const auto open = type.find('['); open != std::string::npos) {
    long low = 0;
    long high = 0;
    if (std::sscanf(type.c_str() + open, "[%ld - %ld]", &low, &high) == 2 && low <= high &&
        high - low < kMaxRangeValues) {
      for (long n = low; n <= high; ++n) values.push_back(std::to_string(n));
    }
  }
  return values;
}

// The values `option` takes that its validators accept, or its file marker.
std::vector<std::string> valuesOf(CLI::Option& option) {
  if (std::string marker = fileMarker(valueName(option)); !marker.empty()) return {marker};
  std::vector<std::string> accepted;
  const auto checks = validators(option);
  for (const std::string& value : namedValues(option)) {
    const bool valid = std::all_of(checks.begin(), checks.end(), [&value](CLI::Validator* v) {
      std::string copy = value;
      return (*v)(copy).empty();
    });
    if (valid) accepted.push_back(value);
  }
  return accepted;
}

// The options of `level` and of the levels above it.
std::vector<std::string> optionNames(CLI::App& level) {
  std::vector<std::string> names;
  for (CLI::App* at = &level; at != nullptr; at = at->get_parent()) {
    for (CLI::Option* option : at->get_options()) {
      if (option->get_positional()) continue;
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
      for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
  }
  return names;
}

std::vector<std::string> subcommandNames(CLI::App& level) {
  std::vector<std::string> names;
  for (CLI::App* sub : level.get_subcommands([](CLI::App*) { return true; })) {
    if (!startsWith(sub->get_name(), kUnlistedPrefix)) names.push_back(sub->get_name());
  }
  return names;
}

// The words that can stand in place of `partial` after `words`, for the command line of `top`.
std::vector<std::string> completions(CLI::App& top, const std::vector<std::string>& words,
                                     const std::string& partial) {
  const Position at = follow(top, words);
  std::vector<std::string> offered;
  if (at.awaitingValue) {
    offered = valuesOf(*at.awaitingValue);
  } else if (!at.onlyPositionals && startsWith(partial, "-")) {
    offered = optionNames(*at.level);
  } else if (!at.onlyPositionals && at.positionals == 0 && !subcommandNames(*at.level).empty()) {
    offered = subcommandNames(*at.level);
  } else if (CLI::Option* positional = positionalAt(*at.level, at.positionals)) {
    offered = valuesOf(*positional);
  }

  std::vector<std::string> matching;
  for (std::string& word : offered) {
    if (startsWith(word, "@") || startsWith(word, partial)) matching.push_back(std::move(word));
  }
  std::sort(matching.begin(), matching.end());
  matching.erase(std::unique(matching.begin(), matching.end()), matching.end());
  return matching;
}

CliCommand::Action defineComplete(CLI::App& command, CliApp& app) {
  auto words = std::make_shared<std::vector<std::string>>();
  command.set_help_flag();  // "--help" is a word to complete here
  command.group("");
  command.add_option("WORD", *words, "the words typed so far, the last one being completed")
      ->type_name("");
  CLI::App* top = command.get_parent();
  return [&app, top, words] {
    std::vector<std::string> before = *words;
    std::string partial;
    if (!before.empty()) {
      partial = before.back();
      before.pop_back();
    }
    for (const std::string& word : completions(*top, before, partial))
      std::fprintf(app.out(), "%s\n", word.c_str());
    return kExitOk;
  };
}

const CliCommand::Registration kComplete{
    {"__complete", "(for the shell's completion) the words that can follow WORD...",
     &defineComplete}};

}  // namespace

}  // namespace halvern::cli
