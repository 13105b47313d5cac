#include "full_program.hpp"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/process.hpp"

namespace fs = std::filesystem;

namespace kestrix::cli {

void runFullProgram(char** argv, const char* installed, const char* program) {
  std::error_code ec;
  const fs::path self = platform::programFile(ec);
  if (ec) {
    std::fprintf(stderr, "%s: cannot find this program's folder: %s\n", program,
                 ec.message().c_str());
    return;
  }
  const fs::path folder = self.parent_path();
  const fs::path candidates[] = {(folder / installed).lexically_normal(),
                                 folder / fs::path(installed).filename()};
  std::error_code error = std::make_error_code(std::errc::no_such_file_or_directory);
  for (const fs::path& candidate : candidates) {
    if (!platform::isRunnable(candidate)) continue;
    error = platform::runInstead(candidate, argv);  // only when it could not be run
  }
  std::fprintf(stderr, "%s: a workbook or a report needs %s: %s\n", program,
               candidates[0].string().c_str(), error.message().c_str());
}

}  // namespace kestrix::cli
