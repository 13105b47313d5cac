// Input files mapped into memory, for the programs that convert files from
// disk: their pages come from the system's file cache as they are instead of
// being copied into fresh memory (platform/mapped_file.hpp).
#pragma once

#include <filesystem>
#include <string_view>

#include "input_files.hpp"

namespace kestrix {

// A regular input file of 64 KiB to limits.maxFileBytes is mapped, its pages
// taken from the system's file cache as they are rather than copied into
// fresh memory; a smaller one is read in one go (cheaper than a mapping);
// anything else, or a file that cannot be mapped, is read as usual (with its
// usual errors). While mapped, the file is known to the guard of
// platform::guardMappedFiles by its `displayName`.
InputBytes mapInputFile(const std::filesystem::path& path, std::string_view displayName,
                        const Limits& limits = {});

}  // namespace kestrix
