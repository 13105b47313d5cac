#include <optional>
#include <string>

#include "check_dates.hpp"
#include "check_table.hpp"
#include "fuzz_input.hpp"
#include "fuzz_targets.hpp"

namespace kestrix::fuzz {

void fuzzTable(std::string_view input) {
  const std::optional<ConversionRun> run = readRun(input);
  if (!run) return;
  const Encoding encoding = input.size() % 2 == 1 ? Encoding::Utf8 : Encoding::Windows1252;
  const std::string table = checkedTable(*run, channelCount(*run), encoding);
  checkDatesCsvAndWindow(*run, table, encoding, input);
}

}  // namespace kestrix::fuzz
