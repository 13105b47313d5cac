#include "text_format.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "cell_values.hpp"
#include "dates.hpp"
#include "decimal_digits.hpp"
#include "table.hpp"
#include "text.hpp"

namespace kestrix {

void appendShortestDecimal(double value, std::string_view decimalMark, std::string& out) {
  if (value == 0) value = 0;  // no "-0"
  char digits[kMaxDecimalText];
  const char* const end = writeShortestFixed(value, digits);
  const std::string_view text(digits, static_cast<std::size_t>(end - digits));
  const std::size_t point = text.find('.');
  out += text.substr(0, point);
  if (point == std::string_view::npos) return;
  out += decimalMark;
  out += text.substr(point + 1);
}

char* writeDuration(std::int64_t seconds, char* at) noexcept {
  std::uint64_t magnitude = static_cast<std::uint64_t>(seconds);
  if (seconds < 0) {
    *at++ = '-';
    magnitude = 0 - magnitude;
  }
  at = std::to_chars(at, at + 20, magnitude / 3600).ptr;
  const auto minutes = static_cast<int>(magnitude / 60 % 60);
  const auto rest = static_cast<int>(magnitude % 60);
  for (const char c :
       {':', static_cast<char>('0' + minutes / 10), static_cast<char>('0' + minutes % 10), ':',
        static_cast<char>('0' + rest / 10), static_cast<char>('0' + rest % 10)})
    *at++ = c;
  return at;
}

void appendDuration(std::int64_t seconds, std::string& out) {
  char text[kLongestDuration];
  out.append(text, writeDuration(seconds, text));
}

TextFormatter::TextFormatter(const TextFormat& format)
    : format_(format), encoded_(encodedFor(format.regional, format.encoding)) {
  if (format_.dates == DateStyle::Iso) {
    // The offset as appendIsoDate writes it, after a time.
    appendIsoDate(0, ' ', format_.utcOffsetMinutes, afterTime_);
    afterTime_.erase(0, std::string_view("2000-01-01 00:00:00").size());
  }
  // Every part of a date has a fixed width: one date's size is every date's.
  std::string sample(
      32 + 2 * (encoded_.dateSeparator.size() + encoded_.timeSeparator.size()) + afterTime_.size(),
      '\0');
  dateSize_ = static_cast<std::size_t>(date(0, sample.data()) - sample.data());
}

void TextFormatter::date(std::int64_t seconds, std::string& out) const {
  const std::size_t at = out.size();
  out.resize(at + dateSize_);
  out.resize(static_cast<std::size_t>(date(seconds, out.data() + at) - out.data()));
}

char* TextFormatter::date(std::int64_t seconds, char* at) const {
  // Dates of one day share all but the time of day: the day's date at
  // midnight is made once, then copied and its time's digits set.
  constexpr std::int64_t kDay = 86400;
  const std::int64_t day = seconds >= 0 ? seconds / kDay : -((-seconds + kDay - 1) / kDay);
  if (day != cachedDay_) {
    cachedDay_ = day;
    midnight_.clear();
    if (format_.dates == DateStyle::Iso) {
      appendIsoDate(day * kDay, ' ', {}, midnight_);
    } else {
      appendRowDate(day * kDay, encoded_, midnight_);
    }
    midnight_.erase(midnight_.find(' ') + 1);
    const std::string_view between =
        format_.dates == DateStyle::Iso ? std::string_view(":") : encoded_.timeSeparator;
    // "hh", the separator, "mm", the separator, "ss".
    time_.hour = midnight_.size();
    ((midnight_ += "00") += between) += "00";
    time_.minute = time_.hour + 2 + between.size();
    (midnight_ += between) += "00";
    time_.second = time_.minute + 2 + between.size();
    midnight_ += afterTime_;
  }
  const std::size_t size = midnight_.size();
  const char* from = midnight_.data();
  if (size >= 16 && size <= 32) {  // two copies of a fixed size, overlapping: no call
    std::memcpy(at, from, 16);
    std::memcpy(at + size - 16, from + size - 16, 16);
  } else {
    std::memcpy(at, from, size);
  }
  time_.write(at, static_cast<int>(seconds - day * kDay));
  return at + size;
}

void TextFormatter::day(std::int64_t seconds, std::string& out) const {
  if (format_.dates == DateStyle::Iso) {
    appendIsoDay(seconds, out);
    return;
  }
  std::string full;
  appendRowDate(seconds, encoded_, full);
  out.append(full, 0, full.find(' '));
}

void TextFormatter::text(std::string_view windows1252, std::string& out) const {
  if (format_.encoding == Encoding::Utf8) {
    out += windows1252ToUtf8(windows1252);
  } else {
    out += windows1252;
  }
}

void TextFormatter::channel(const ColumnInfo& column, std::string& out) const {
  text(column.title, out);
  out.push_back('\t');
  out += column.loggerId;
  out.push_back('\t');
  text(column.label, out);
  out.push_back('\t');
  text(column.unit, out);
}

void TextFormatter::number(std::int64_t tenths, int decimals, std::string& out) const {
  appendNumberText(tenths, decimals, encoded_.decimalMark, out);
}

std::size_t TextFormatter::numberSizeMost() const noexcept {
  return decimalSizeMost(1, encoded_.decimalMark);
}

char* TextFormatter::number(std::int64_t tenths, int decimals, char* at) const noexcept {
  return writeDecimal(tenths, 1, decimals, encoded_.decimalMark, at);
}

void TextFormatter::decimal(double value, std::string& out) const {
  appendShortestDecimal(value, encoded_.decimalMark, out);
}

}  // namespace kestrix
