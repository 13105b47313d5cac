#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_check.hpp"
#include "fuzz_input.hpp"
#include "fuzz_targets.hpp"
#include "periods.hpp"
#include "platform/temporary_file.hpp"
#include "workbook_writer.hpp"

namespace kestrix::fuzz {

namespace {

// Workbooks cost a zip file each: only for the shorter tables.
constexpr std::int64_t kMaxWorkbookRows = 2'000;

// A new file of this process's own in the temporary folder, closed.
std::filesystem::path newTemporaryFile() {
  std::error_code error;
  const platform::TemporaryFile file = platform::createTemporaryBeside(
      std::filesystem::temp_directory_path() / "kestrix-fuzz.xlsx", error);
  check(file.file != nullptr, "workbook: no temporary file:", error.message());
  std::fclose(file.file);
  return file.path;
}

}  // namespace

// The workbook with the limits and a period sheet of the kind the input picks.
void fuzzWorkbook(std::string_view input) {
  const std::optional<ConversionRun> run = runOfOutputs(input);
  if (!run || run->totalRows > kMaxWorkbookRows) return;
  WorkbookOptions options;
  options.limits = limitsFrom(input, run->step);
  options.periods = static_cast<PeriodKind>(input.size() % 4);
  const std::filesystem::path target = newTemporaryFile();
  const std::string status = writeWorkbook(*run, target, options);
  char magic[2] = {};
  std::ifstream(target, std::ios::binary).read(magic, 2);
  std::filesystem::remove(target);
  check(status == closingStatus(run->inconsistentFlag), "workbook: closing status");
  check(magic[0] == 'P' && magic[1] == 'K', "workbook: not a zip file");
}

}  // namespace kestrix::fuzz
