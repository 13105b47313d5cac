// The places the window's drive list offers: the user's home folder first,
// then the mounted volumes that hold the user's files (the root file system
// first), each by the name a file manager gives it.
#pragma once

#include <vector>

#include "folders.hpp"

namespace kestrix::ui {

// The places as they stand now; the root file system is always among them.
std::vector<Volume> offeredPlaces();

}  // namespace kestrix::ui
