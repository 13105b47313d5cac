// The full program. kestrix-convert writes tables and summaries itself; a
// workbook needs libxlsxwriter and a report the chart's Qt, whose libraries,
// merely loaded, cost every run memory and time. So kestrix-convert links
// neither, and hands a run that asks for a workbook or a report over to
// kestrix-convert-full, the same program built with them.
#pragma once

namespace kestrix::cli {

// Replaces this process with the full program, given the same arguments:
// installed at `installed` (relative to this program's folder), or beside
// this program in a build folder. Returns only when it cannot be run, after
// saying why on standard error (prefixed with `program`).
void runFullProgram(char** argv, const char* installed, const char* program);

}  // namespace kestrix::cli
