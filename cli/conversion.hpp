// What kestrix-convert does once its command line is read: every output
// target checked, the files converted, the outputs written, then the
// warnings and the closing status.
#pragma once

#include "options.hpp"

namespace kestrix::cli {

// Converts and writes everything `options` asks for. Returns the exit status:
// 0, or 1 when --strict meets a warning. Throws ConversionError naming the
// file at fault; a refused target (RefusedTarget), or one whose folder takes
// no file, before a logger file is read. The output files replace their
// targets all together, once every one is complete: after a failure, none.
// `progressShown` tells the caller to end the progress line before a message.
int convertAndWrite(const Options& options, bool& progressShown);

}  // namespace kestrix::cli
