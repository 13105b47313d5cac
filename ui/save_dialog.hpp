// The save dialog of every file the window writes: it suggests a name, owns
// the suffix and never hands back a name that would replace logger data.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

namespace kestrix::ui {

// Asks for a file to write, starting at `suggested` (a folder and a name). A
// bare name gets the suggestion's suffix before the dialog asks whether to
// replace an existing file. A name that refuseUnsafeTarget refuses, or that
// `check` refuses (by throwing ConversionError), is told in a message box and
// the dialog comes back. None when the user cancels.
std::optional<std::filesystem::path> askForSaveFile(
    QWidget* parent, const QString& caption, const QString& filter, const QString& suggested,
    const std::function<void(const std::filesystem::path&)>& check = {});

}  // namespace kestrix::ui
