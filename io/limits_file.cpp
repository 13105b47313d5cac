#include "limits_file.hpp"

#include <toml++/toml.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "decimal_digits.hpp"
#include "error.hpp"
#include "file_sinks.hpp"
#include "limits.hpp"
#include "platform/file_system.hpp"
#include "platform/user_folders.hpp"

namespace fs = std::filesystem;

namespace kestrix {

LimitsFileError::LimitsFileError(std::string file, int line, int column, std::string detail)
    : std::runtime_error(
          file +
          (line > 0 ? ":" + std::to_string(line) + ":" + std::to_string(column) : std::string()) +
          ": " + detail),
      file_(std::move(file)),
      line_(line),
      column_(column),
      detail_(std::move(detail)) {}

namespace {

// An error of a limits file at one place of it.
struct Problem {
  toml::source_position at;
  std::string message;
};

[[noreturn]] void fail(const std::string& file, const Problem& problem) {
  throw LimitsFileError(file, static_cast<int>(problem.at.line),
                        static_cast<int>(problem.at.column), problem.message);
}

std::string typeName(toml::node_type type) {
  switch (type) {
    case toml::node_type::string:
      return "a string";
    case toml::node_type::integer:
      return "an integer";
    case toml::node_type::floating_point:
      return "a floating-point number";
    case toml::node_type::boolean:
      return "a boolean";
    case toml::node_type::date:
      return "a date";
    case toml::node_type::time:
      return "a time";
    case toml::node_type::date_time:
      return "a date and time";
    case toml::node_type::table:
      return "a table";
    case toml::node_type::array:
      return "an array";
    case toml::node_type::none:
      break;
  }
  return "nothing";
}

Problem wrongType(std::string_view key, std::string_view expected, const toml::node& value) {
  return {value.source().begin, std::string(key) + " must be " + std::string(expected) + ", not " +
                                    typeName(value.type())};
}

constexpr std::string_view kDurationForm =
    "a duration such as \"90s\", \"30m\", \"2h\", \"1h30m\" or a whole number of seconds";

// A duration given as text or as a whole number of seconds.
std::optional<Problem> readDuration(std::string_view key, const toml::node& value,
                                    std::int64_t& seconds) {
  if (const auto* text = value.as_string()) {
    const auto parsed = parseDuration(text->get());
    if (!parsed) {
      return Problem{value.source().begin, "bad duration \"" + text->get() + "\" for " +
                                               std::string(key) + ": write " +
                                               std::string(kDurationForm)};
    }
    seconds = *parsed;
    return std::nullopt;
  }
  if (const auto* number = value.as_integer()) {
    if (number->get() < 0 || number->get() > maxDurationSeconds) {
      return Problem{value.source().begin, std::string(key) + " must be a duration from 0 to " +
                                               durationText(maxDurationSeconds) + ", not " +
                                               std::to_string(number->get()) + " seconds"};
    }
    seconds = number->get();
    return std::nullopt;
  }
  return wrongType(key, kDurationForm, value);
}

std::optional<Problem> readNumber(std::string_view key, const toml::node& value,
                                  std::optional<double>& out) {
  if (const auto* whole = value.as_integer()) {
    out = static_cast<double>(whole->get());
  } else if (const auto* real = value.as_floating_point()) {
    out = real->get();
  } else {
    return wrongType(key, "a number", value);
  }
  return std::nullopt;
}

// One key of a [[limit]] table into `rule`.
std::optional<Problem> readKey(const toml::key& key, const toml::node& value, LimitRule& rule) {
  const std::string_view name = key.str();
  if (name == "unit") {
    const auto* text = value.as_string();
    if (!text) return wrongType(name, "a string such as \"\u00B0C\"", value);
    rule.unit = text->get();
  } else if (name == "logger") {
    const auto* text = value.as_string();
    if (!text)
      return wrongType(name, "a string of 8 hexadecimal digits such as \"00A41C07\"", value);
    rule.logger = parseLoggerIdentity(text->get());
    if (!rule.logger) {
      return Problem{value.source().begin,
                     "logger \"" + text->get() + "\" is not 8 hexadecimal digits"};
    }
  } else if (name == "channel") {
    const auto* number = value.as_integer();
    if (!number) return wrongType(name, "1 or 2", value);
    if (number->get() != 1 && number->get() != 2) {
      return Problem{value.source().begin,
                     "channel must be 1 or 2, not " + std::to_string(number->get())};
    }
    rule.channel = static_cast<int>(number->get());
  } else if (name == "low" || name == "high") {
    return readNumber(name, value, name == "low" ? rule.low : rule.high);
  } else if (name == "delay") {
    return readDuration(name, value, rule.delaySeconds);
  } else if (name == "total") {
    std::int64_t seconds = 0;
    if (auto problem = readDuration(name, value, seconds)) return problem;
    rule.totalSeconds = seconds;
  } else {
    return Problem{key.source().begin,
                   "unknown key \"" + std::string(name) + "\" in a [[limit]] rule"};
  }
  return std::nullopt;
}

bool before(const toml::source_position& a, const toml::source_position& b) {
  return a.line < b.line || (a.line == b.line && a.column < b.column);
}

// One [[limit]] table as a rule; its first problem in the file's order.
LimitRule readRule(const toml::table& table, const std::string& file) {
  LimitRule rule;
  std::optional<Problem> first;
  for (auto&& [key, value] : table) {
    auto problem = readKey(key, value, rule);
    if (problem && (!first || before(problem->at, first->at))) first = std::move(problem);
  }
  if (first) fail(file, *first);
  if (const auto problem = ruleProblem(rule)) {
    toml::source_position at = table.source().begin;
    for (auto&& [key, value] : table) {
      if (key.str() == problem->key) at = key.source().begin;
    }
    fail(file, {at, problem->message});
  }
  return rule;
}

// A TOML basic string.
void appendQuoted(std::string_view text, std::string& out) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      (out += '\\') += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

// A TOML float that reads back as `value`: the shortest digits, a ".0" where
// they make an integer.
void appendFloat(double value, std::string& out) {
  char digits[kestrix::kMaxDecimalText];
  const char* const end = writeShortest(value, digits);
  const std::string_view text(digits, static_cast<std::size_t>(end - digits));
  out += text;
  if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
}

}  // namespace

std::vector<LimitRule> parseLimits(std::string_view text, const std::string& fileName) {
  toml::table root;
  try {
    root = toml::parse(text, std::string_view(fileName));
  } catch (const toml::parse_error& e) {
    fail(fileName, {e.source().begin, std::string(e.description())});
  }
  std::vector<LimitRule> rules;
  for (auto&& [key, value] : root) {
    if (key.str() != "limit") {
      fail(fileName, {key.source().begin, "unknown key \"" + std::string(key.str()) +
                                              "\": a limits file holds [[limit]] rules only"});
    }
    const toml::array* list = value.as_array();
    if (!list || !(list->empty() || list->is_array_of_tables())) {
      fail(fileName,
           {value.source().begin, "limit must be written as [[limit]] tables, one per rule"});
    }
    for (const toml::node& table : *list) rules.push_back(readRule(*table.as_table(), fileName));
  }
  return rules;
}

std::string readLimitsText(const fs::path& path, const std::string& fileName) {
  const std::string name = fileName.empty() ? path.string() : fileName;
  std::FILE* file = platform::openFile(path, "rb");
  if (!file) throw LimitsFileError(name, 0, 0, "cannot open: " + systemMessage(errno));
  std::string text;
  char buffer[8192];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, n);
    if (text.size() > limits::maxLimitsFileBytes) {
      std::fclose(file);
      throw LimitsFileError(name, 0, 0,
                            "too large for a limits file (more than " +
                                std::to_string(limits::maxLimitsFileBytes >> 20) + " MiB)");
    }
  }
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) throw LimitsFileError(name, 0, 0, "cannot read: " + systemMessage(error));
  return text;
}

std::vector<LimitRule> readLimitsFile(const fs::path& path, const std::string& fileName) {
  return parseLimits(readLimitsText(path, fileName), fileName.empty() ? path.string() : fileName);
}

std::vector<LimitRule> readLimitsFileIfPresent(const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec) && !ec) return {};
  return readLimitsFile(path);
}

std::string limitsText(const std::vector<LimitRule>& rules) {
  std::string text =
      "# Kestrix limits: one [[limit]] table per rule, naming a unit or a logger\n"
      "# (and channel); low and high in the channel's unit, delay and total as\n"
      "# durations such as \"90s\", \"30m\", \"2h\" or \"1h30m\".\n";
  for (const LimitRule& rule : rules) {
    text += "\n[[limit]]\n";
    if (rule.unit) {
      text += "unit = ";
      appendQuoted(*rule.unit, text);
      text += '\n';
    }
    if (rule.logger) {
      char id[16];
      std::snprintf(id, sizeof id, "%08X", static_cast<unsigned>(*rule.logger));
      text += "logger = \"" + std::string(id) + "\"\n";
    }
    if (rule.channel) text += "channel = " + std::to_string(*rule.channel) + '\n';
    if (rule.low) {
      text += "low = ";
      appendFloat(*rule.low, text);
      text += '\n';
    }
    if (rule.high) {
      text += "high = ";
      appendFloat(*rule.high, text);
      text += '\n';
    }
    if (rule.delaySeconds != 0) text += "delay = \"" + durationText(rule.delaySeconds) + "\"\n";
    if (rule.totalSeconds) text += "total = \"" + durationText(*rule.totalSeconds) + "\"\n";
  }
  return text;
}

void writeLimitsFile(const fs::path& path, const std::vector<LimitRule>& rules) {
  // A file that would not read back is never written.
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (const auto problem = ruleProblem(rules[i])) {
      throw ConversionError(ErrorKind::CannotWrite, path.string(),
                            "not written: rule " + std::to_string(i + 1) + ": " + problem->message);
    }
  }
  const std::string text = limitsText(rules);
  const fs::path folder = path.parent_path();
  std::error_code ec;
  if (!folder.empty()) fs::create_directories(folder, ec);
  if (ec) {
    throw ConversionError(ErrorKind::CannotWrite, path.string(),
                          "cannot make the folder " + folder.string() + ": " + ec.message());
  }
  AtomicFileSink sink(path);
  sink.write(text);
  sink.commit();
}

fs::path userLimitsPath() {
  return platform::settingsFolder() / "limits.toml";
}

}  // namespace kestrix
