// The report's program. Drawing the chart takes Qt, whose libraries, merely
// loaded, cost every run some 14 MiB of memory; so kestrix-convert does not
// link them, and hands a run with --report over to kestrix-convert-report,
// the same program built with the chart.
#pragma once

namespace kestrix::cli {

// Replaces this process with the report's program, given the same
// arguments: installed at `installed` (relative to this program's folder),
// or beside this program in a build folder. Returns only when it cannot be
// run, after saying why on standard error (prefixed with `program`).
void runReportProgram(char** argv, const char* installed, const char* program);

}  // namespace kestrix::cli
