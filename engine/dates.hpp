// Calendar arithmetic on whole seconds. A point in time is a count of seconds
// since 1 January 2000 00:00:00; no time zone is involved anywhere.
#pragma once

#include <cstdint>
#include <string>

#include "regional.hpp"

namespace kestrix {

struct CivilTime {
  int year = 2000;  // four digits
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

bool isValidCivilTime(const CivilTime& t) noexcept;
std::int64_t toSeconds(const CivilTime& t) noexcept;  // t must be valid
CivilTime fromSeconds(std::int64_t seconds) noexcept;

// Appends "dd/mm/yy hh:mm:ss" with the regional separators.
void appendRowDate(std::int64_t seconds, const Regional& regional, std::string& out);

}  // namespace kestrix
