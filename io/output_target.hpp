// Outputs never take the place of logger data: every file a program writes
// (table, workbook, summary, report, picture) is checked here first.
#pragma once

#include <filesystem>
#include <vector>

namespace kestrix {

// True for a name ending in ".pdb" in any letter case: a logger file's name.
bool hasLoggerFileName(const std::filesystem::path& target);

// Throws ConversionError naming `target` when writing an output there could
// lose data, before anything is written:
// - RefusedTarget when it is one of the logger files at `inputs` (sameFile:
//   a link to one, or a hard link, included), when its name ends in ".pdb"
//   (any letter case), or when the file there holds a logger file's bytes;
// - CannotWrite when the file there may not be written by this user, or its
//   folder takes no new file from this user (is missing, is no folder, or is
//   not writable): the writers themselves fail there too, but only after the
//   logger files are read; checking first fails a run before any work.
void refuseUnsafeTarget(const std::filesystem::path& target,
                        const std::vector<std::filesystem::path>& inputs = {});

}  // namespace kestrix
