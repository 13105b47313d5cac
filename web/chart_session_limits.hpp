// The limits applied to the chart's run (chart_session_limits.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "excursions.hpp"
#include "limit_rules.hpp"

namespace kestrix::web {

// One check per column of the chart's run, over the rows the table holds,
// while limits are applied to that run; null otherwise.
const std::vector<ChannelCheck>* appliedChecks() noexcept;

// The rules of a limits file's text, as the command reads the file
// `fileName`: no larger than a limits file may be, then parseLimits. Throws
// LimitsFileError.
std::vector<LimitRule> readPageLimits(std::string_view text, const std::string& fileName);

}  // namespace kestrix::web
