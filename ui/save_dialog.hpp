// The save dialog of every file the window writes: it suggests a name, owns
// the suffix and never hands back a name that would replace logger data.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

namespace kestrix::ui {

// A choice the dialog offers under its file list as a check box ("Only the
// range in view"): its text and tooltip, and its state, set by the user when
// the dialog is accepted.
struct SaveChoice {
  QString text;
  QString toolTip;
  bool checked = false;
};

// The object name of a SaveChoice's check box.
inline constexpr const char* saveChoiceName = "saveChoice";

// Asks for a file to write, starting at `suggested` (a folder and a name). A
// bare name gets the suggestion's suffix before the dialog asks whether to
// replace an existing file. A name that refuseUnsafeTarget refuses, or that
// `check` refuses (by throwing ConversionError), is told in a message box and
// the dialog comes back. None when the user cancels. With `choice`, the
// dialog (Qt's own, which can hold it) offers that choice too.
std::optional<std::filesystem::path> askForSaveFile(
    QWidget* parent, const QString& caption, const QString& filter, const QString& suggested,
    const std::function<void(const std::filesystem::path&)>& check = {},
    SaveChoice* choice = nullptr);

}  // namespace kestrix::ui
