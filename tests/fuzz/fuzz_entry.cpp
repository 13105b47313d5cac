// libFuzzer's entry into one target, the one KESTRIX_FUZZ_TARGET names
// (its index in kTargets), set by the build.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrix::fuzz::runTarget(kestrix::fuzz::kTargets[KESTRIX_FUZZ_TARGET],
                           {reinterpret_cast<const char*>(data), size});
  return 0;
}
