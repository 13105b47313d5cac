#include <exception>

#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"

namespace kestrix::fuzz {

void runTarget(const Target& target, std::string_view input) {
  try {
    target.fuzz(input);
  } catch (const std::exception& e) {
    broken("exception escaped:", std::string(target.name) + ": " + e.what());
  }
}

}  // namespace kestrix::fuzz
