// Wildcards in the file arguments, for the systems whose shells leave them
// to the program (cmd.exe and PowerShell on Windows): `*` for any run of
// characters, `?` for one, in the last part of a path, letter case aside.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrix::cli {

// True when `name` has a `*` or a `?`.
bool isFilePattern(std::string_view name);

// True when the file name `name` matches `pattern`, both UTF-8, in any
// letter case (foldCase); `?` stands for one character, not one byte.
bool matchesFilePattern(std::string_view name, std::string_view pattern);

// `arguments` with each pattern replaced by the files of its folder that
// match it, in name order (letter case aside), named with the folder as
// given ("C:\Loggers\UC*.PDB" gives "C:\Loggers\UC001.PDB", ...). Folders do
// not match. Throws UsageError naming a pattern that matches no file.
std::vector<std::string> expandFilePatterns(const std::vector<std::string>& arguments);

}  // namespace kestrix::cli
