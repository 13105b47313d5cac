#include "text_format.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>

#include "cell_values.hpp"
#include "dates.hpp"
#include "table.hpp"
#include "text.hpp"

namespace kestrix {

namespace {

void append2(int v, std::string& out) {
  out.push_back(static_cast<char>('0' + v / 10 % 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

void appendIsoDay(const CivilTime& t, std::string& out) {
  append2(t.year / 100, out);
  append2(t.year % 100, out);
  out.push_back('-');
  append2(t.month, out);
  out.push_back('-');
  append2(t.day, out);
}

}  // namespace

void appendShortestDecimal(double value, std::string_view decimalMark, std::string& out) {
  if (value == 0) value = 0;  // no "-0"
  char digits[400];           // a double's fixed form takes at most 309 digits and a sign
  const auto end =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed).ptr;
  const std::string_view text(digits, static_cast<std::size_t>(end - digits));
  const std::size_t point = text.find('.');
  out += text.substr(0, point);
  if (point == std::string_view::npos) return;
  out += decimalMark;
  out += text.substr(point + 1);
}

void appendDuration(std::int64_t seconds, std::string& out) {
  // Written at once: the sign, the hours, ":mm:ss".
  char text[32];
  char* at = text;
  std::uint64_t magnitude = static_cast<std::uint64_t>(seconds);
  if (seconds < 0) {
    *at++ = '-';
    magnitude = 0 - magnitude;
  }
  at = std::to_chars(at, text + sizeof text, magnitude / 3600).ptr;
  const auto minutes = static_cast<int>(magnitude / 60 % 60);
  const auto rest = static_cast<int>(magnitude % 60);
  for (const char c :
       {':', static_cast<char>('0' + minutes / 10), static_cast<char>('0' + minutes % 10), ':',
        static_cast<char>('0' + rest / 10), static_cast<char>('0' + rest % 10)})
    *at++ = c;
  out.append(text, at);
}

TextFormatter::TextFormatter(const TextFormat& format)
    : format_(format), encoded_(encodedFor(format.regional, format.encoding)) {
  if (format_.dates == DateStyle::Iso) {
    // The offset as appendIsoDate writes it, after a time.
    appendIsoDate(0, ' ', format_.utcOffsetMinutes, afterTime_);
    afterTime_.erase(0, std::string_view("2000-01-01 00:00:00").size());
  }
}

void TextFormatter::date(std::int64_t seconds, std::string& out) const {
  // Dates of one day share their first part: it is made once per day, as
  // the table writer makes its row dates.
  constexpr std::int64_t kDay = 86400;
  const std::int64_t day = seconds >= 0 ? seconds / kDay : -((-seconds + kDay - 1) / kDay);
  if (day != cachedDay_) {
    cachedDay_ = day;
    dayText_.clear();
    if (format_.dates == DateStyle::Iso) {
      appendIsoDate(day * kDay, ' ', {}, dayText_);
    } else {
      appendRowDate(day * kDay, encoded_, dayText_);
    }
    dayText_.erase(dayText_.find(' ') + 1);
  }
  const auto second = static_cast<unsigned>(seconds - day * kDay);
  const std::string_view between =
      format_.dates == DateStyle::Iso ? std::string_view(":") : encoded_.timeSeparator;
  // The day's text and the time written at once: "hh", the separator, "mm",
  // the separator, "ss".
  const std::size_t at = out.size();
  out.resize(at + dayText_.size() + 6 + 2 * between.size());
  char* p = out.data() + at;
  p = std::copy(dayText_.begin(), dayText_.end(), p);
  const auto two = [&p](unsigned v) {
    *p++ = static_cast<char>('0' + v / 10);
    *p++ = static_cast<char>('0' + v % 10);
  };
  two(second / 3600);
  p = std::copy(between.begin(), between.end(), p);
  two(second / 60 % 60);
  p = std::copy(between.begin(), between.end(), p);
  two(second % 60);
  if (!afterTime_.empty()) out += afterTime_;
}

void TextFormatter::day(std::int64_t seconds, std::string& out) const {
  if (format_.dates == DateStyle::Iso) {
    appendIsoDay(fromSeconds(seconds), out);
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

void TextFormatter::decimal(double value, std::string& out) const {
  appendShortestDecimal(value, encoded_.decimalMark, out);
}

}  // namespace kestrix
