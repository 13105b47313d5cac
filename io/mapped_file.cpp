#include "mapped_file.hpp"

#include <optional>

#include "platform/mapped_file.hpp"

namespace kestrix {

InputBytes mapInputFile(const std::filesystem::path& path, std::string_view displayName,
                        const Limits& limits) {
  if (std::optional<platform::FileBytes> mapped =
          platform::mapFile(path, limits.maxFileBytes, displayName))
    return {mapped->bytes, std::move(mapped->owner)};
  return readIntoMemory(path, displayName, limits);
}

}  // namespace kestrix
