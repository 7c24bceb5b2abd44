#include "sim/command_line.h"

#include <charconv>

namespace halvern::sim {

namespace {

std::optional<std::vector<int>> parseIntegers(std::string_view rest) {
  std::vector<int> values;
  if (rest.empty()) return values;
  while (true) {
    std::string_view token = rest.substr(0, rest.find(' '));
    int value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || ec != std::errc{} || end != token.data() + token.size()) {
      return std::nullopt;
    }
    values.push_back(value);
    if (token.size() == rest.size()) return values;
    rest.remove_prefix(token.size() + 1);
  }
}

}  // namespace

std::optional<CommandLine> parseCommandLine(std::string_view line) {
  if (line.size() < 6 || line.substr(0, 3) != "CMD") return std::nullopt;
  CommandLine command;
  for (char c : line.substr(3, 3)) {
    if (c < '0' || c > '9') return std::nullopt;
    command.code = command.code * 10 + (c - '0');
  }
  std::string_view rest = line.substr(6);
  if (!rest.empty()) {
    if (rest.front() != ' ') return std::nullopt;
    rest.remove_prefix(1);
  }
  command.argText = rest;
  // A blank with nothing after it is no integer list.
  command.args = line.size() > 6 && rest.empty() ? std::nullopt : parseIntegers(rest);
  return command;
}

}  // namespace halvern::sim
