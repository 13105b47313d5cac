// The limits file: [[limit]] rules in TOML, read with every error placed at
// its line and column, and written back so that reading it gives the same rules.
//
//   [[limit]]            # every °C channel that no more specific rule names
//   unit = "°C"
//   low = 2.0
//   high = 8.0
//   delay = "30m"        # "90s", "30m", "2h", "1h30m" or a number of seconds
//   total = "2h"
//
//   [[limit]]            # one logger, one channel (1 or 2; leave it out for both)
//   logger = "00A41C07"
//   channel = 1
//   high = 25.0
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "limit_rules.hpp"

namespace kestrix {

// What is wrong with a limits file, where: "limits.toml:7:1: unknown key
// "hihg" in a [[limit]] rule". Line and column are 1-based; both are 0 for a
// file that cannot be read at all ("limits.toml: cannot open: ...").
class LimitsFileError : public std::runtime_error {
 public:
  LimitsFileError(std::string file, int line, int column, std::string detail);

  const std::string& file() const noexcept { return file_; }
  int line() const noexcept { return line_; }
  int column() const noexcept { return column_; }
  const std::string& detail() const noexcept { return detail_; }

 private:
  std::string file_;
  int line_;
  int column_;
  std::string detail_;
};

// The rules of a limits file's text, in the file's order. Throws
// LimitsFileError naming `fileName` for text that does not parse, an unknown
// key, a value of the wrong type, a bad duration or logger identity, or a rule
// that fails ruleProblem.
std::vector<LimitRule> parseLimits(std::string_view text, const std::string& fileName);

// The text of the limits file at `path`, at most limits::maxLimitsFileBytes;
// messages name it as `fileName` (by default the path as given). Throws
// LimitsFileError when it cannot be read.
std::string readLimitsText(const std::filesystem::path& path, const std::string& fileName = {});

// The rules of the file at `path`; messages name it as `fileName` (by default
// the path as given). Throws LimitsFileError.
std::vector<LimitRule> readLimitsFile(const std::filesystem::path& path,
                                      const std::string& fileName = {});
// The same, but no rules when there is no file at `path` (the user's file
// before any was saved).
std::vector<LimitRule> readLimitsFileIfPresent(const std::filesystem::path& path);

// The rules as a limits file's text (TOML, UTF-8), which parseLimits reads
// back as the same rules. Every rule must pass ruleProblem.
std::string limitsText(const std::vector<LimitRule>& rules);

// Writes the rules to `path`: into a temporary file beside it, renamed over it
// once complete; the folder is made when missing. Throws ConversionError
// (CannotWrite) naming `path`, also for a rule that fails ruleProblem (the
// earlier file then stays).
void writeLimitsFile(const std::filesystem::path& path, const std::vector<LimitRule>& rules);

// The user's limits file: limits.toml in the user's settings folder
// (platform::settingsFolder): $XDG_CONFIG_HOME/kestrix/limits.toml, or
// ~/.config/kestrix/limits.toml when XDG_CONFIG_HOME is unset or not an
// absolute path; %APPDATA%\Kestrix\limits.toml on Windows.
std::filesystem::path userLimitsPath();

}  // namespace kestrix
