// The run's whole table written into memory and checked line by line: its
// line count and shape, each row against TableText's (the plain reference
// for the writer's own fast way), the closing status and the progress.
#pragma once

#include <string>

#include "run.hpp"
#include "text_format.hpp"

namespace kestrix::fuzz {

// The table of `run` with the default regional settings in `encoding`;
// `channels` is the number of columns after the date.
std::string checkedTable(const ConversionRun& run, int channels, Encoding encoding);

}  // namespace kestrix::fuzz
