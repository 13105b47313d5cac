#include <optional>

#include "check_outputs.hpp"
#include "fuzz_input.hpp"
#include "fuzz_targets.hpp"
#include "sink.hpp"
#include "table.hpp"

namespace kestrix::fuzz {

void fuzzValues(std::string_view input) {
  const std::optional<ConversionRun> run = runOfOutputs(input);
  if (!run) return;
  // The table the values are read against; fuzzTable checks it.
  StringSink table;
  writeTable(*run, table, TableOptions{});
  checkOutputs(*run, table.data, input);
}

}  // namespace kestrix::fuzz
