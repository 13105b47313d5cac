// How the text outputs (table, summary and the lists beside them) write what
// is not a cell value: the encoding, dates, durations and the header texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "dates.hpp"
#include "regional.hpp"

namespace kestrix {

struct ColumnInfo;

enum class Encoding { Windows1252, Utf8 };

struct TextFormat {
  Regional regional;  // the locale's decimal mark and separators, UTF-8
  Encoding encoding = Encoding::Windows1252;
  DateStyle dates = DateStyle::Regional;
  // ISO dates only: the offset of the loggers' clock from UTC, in minutes,
  // appended to each date ("+01:00", "Z" for none).
  std::optional<int> utcOffsetMinutes;
};

// Appends a length of time as h:mm:ss, with as many hour digits as needed
// ("0:30:00", "27:30:00"): a form every spreadsheet reads as a duration.
void appendDuration(std::int64_t seconds, std::string& out);
// The same written at `at`, which has room for kLongestDuration bytes;
// returns the end.
inline constexpr std::size_t kLongestDuration = 32;
char* writeDuration(std::int64_t seconds, char* at) noexcept;

// Appends the shortest decimal that reads back as `value` (a finite number),
// without exponent: "2", "8", "25.5", "-0.125"; zero has no sign.
void appendShortestDecimal(double value, std::string_view decimalMark, std::string& out);

// One text output's writer of dates, numbers and header texts, each already
// in the output's encoding. It remembers the last day it wrote: one
// formatter serves one thread.
class TextFormatter {
 public:
  explicit TextFormatter(const TextFormat& format);

  const TextFormat& format() const noexcept { return format_; }
  // The decimal mark in the output's encoding.
  std::string_view decimalMark() const noexcept { return encoded_.decimalMark; }

  // A date and time as the table's rows carry it (or in ISO form).
  void date(std::int64_t seconds, std::string& out) const;
  // The bytes of every date: its parts are all of fixed width.
  std::size_t dateSize() const noexcept { return dateSize_; }
  // The date written at `at`, which has room for dateSize() bytes; returns the end.
  char* date(std::int64_t seconds, char* at) const;
  // The date alone: "07/12/26" (the table's day, month and year), or "2026-12-07".
  void day(std::int64_t seconds, std::string& out) const;
  // A Windows-1252 text (a title, label or unit) in the output's encoding.
  void text(std::string_view windows1252, std::string& out) const;
  // The four fields that name a channel in every per-channel list:
  // title, logger identity, label and unit, TAB-separated.
  void channel(const ColumnInfo& column, std::string& out) const;
  // A cell's number: tenths / 10 with `decimals` digits (0 or 1).
  void number(std::int64_t tenths, int decimals, std::string& out) const;
  // The most bytes of such a number.
  std::size_t numberSizeMost() const noexcept;
  // The number written at `at`, which has room for numberSizeMost() bytes; returns the end.
  char* number(std::int64_t tenths, int decimals, char* at) const noexcept;
  // A number given by the user (a limit) with no more digits than it needs.
  void decimal(double value, std::string& out) const;

 private:
  TextFormat format_;
  Regional encoded_;  // the marks and separators in the output's encoding
  // The last day written, its date at midnight, and where the hour, minute
  // and second lie in it.
  mutable std::int64_t cachedDay_ = std::numeric_limits<std::int64_t>::min();
  mutable std::string midnight_;
  mutable TimePlaces time_;
  std::string afterTime_;  // the UTC offset of ISO dates
  std::size_t dateSize_ = 0;
};

}  // namespace kestrix
