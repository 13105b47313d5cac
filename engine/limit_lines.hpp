// The limits editor's lines, whichever editor shows them: a line per unit of
// a run (its unit-wide rule) above a line per channel (the rule of that
// logger's channel), each with four cells typed as text: low, high, delay and
// total. The lines are filled from a limits file's rules, those naming none
// of them kept as they are; the cells typed are read back into rules, a cell
// at fault with the reason in words.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "limit_rules.hpp"

namespace kestrix {

struct ColumnInfo;

struct LimitLine {
  std::optional<std::string> unit;      // a unit line: its unit, UTF-8
  std::optional<std::uint32_t> logger;  // a channel line: its logger's identity
  int channel = 0;                      // 1 or 2, with logger
  std::string channelUnit;              // the line's unit, UTF-8
  std::string name;                     // "Every °C channel", "Cellar — Humidity"
  std::string tip;                      // what the line names, in words

  // A channel without a logger identity cannot be named by a rule.
  bool editable() const noexcept { return unit || logger; }
};

// The line of every channel of `unit` (UTF-8).
LimitLine unitLimitLine(const std::string& unit);
// The line of the channel named `name` (UTF-8, "title — label") of `unit`,
// shown from the table's column `column`.
LimitLine channelLimitLine(std::string name, std::string unit, const ColumnInfo& column);

// A line's cells, as typed.
enum LimitCell { LowCell, HighCell, DelayCell, TotalCell };
using LimitCells = std::array<std::string, 4>;

struct FilledLimitLines {
  std::vector<LimitCells> cells;  // per line
  std::vector<LimitRule> kept;    // the rules that fill no line, in their order
};
// The cells of `lines` from `rules`: a unit line shows the last unit-wide rule
// of its unit, a channel line the last rule of its logger that names its
// channel, as the check picks them; limits with no more digits than they
// need, durations as a limits file writes them (no delay for 0).
FilledLimitLines fillLimitLines(std::span<const LimitLine> lines, std::span<const LimitRule> rules);

struct CellFault {
  int cell = -1;        // the LimitCell at fault, -1 for none
  std::string message;  // the cell's name and why: "High: “8o” is not a number"
};
// The rule of a line's cells; none when they are all empty or the line takes
// no rule, nor when a cell is at fault, which `fault` then says. A limit is a
// number with '.' or ',' as its mark; a duration "90s", "30m", "2h", "1h30m"
// or a number of seconds; white space around either is passed over.
std::optional<LimitRule> lineRule(const LimitLine& line, const LimitCells& cells, CellFault& fault);

struct EditedLimits {
  struct Fault {
    std::size_t line = 0;
    CellFault cell;
  };
  std::vector<Fault> faults;     // one per line at fault, in line order
  std::string problem;           // the first in words: "Cellar — Humidity, High: ...", or empty
  std::vector<LimitRule> rules;  // without faults: those kept, then one per line that has a value
};
// The rules of every line's cells (`cells`, one per line) after `kept`.
EditedLimits editedLimits(std::span<const LimitLine> lines, std::span<const LimitCells> cells,
                          std::vector<LimitRule> kept);

}  // namespace kestrix
