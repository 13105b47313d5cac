// File names between the system's names and the window's text: the bytes of
// a POSIX name decoded as the system names files, the wide characters of a
// Windows name as they are. Never the path's c_str(), whose characters are
// wide on Windows.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>
#include <type_traits>

namespace kestrix::ui {

inline constexpr bool wideFileNames = std::is_same_v<std::filesystem::path::value_type, wchar_t>;

// The path as the window shows it, decoded as the system names files.
inline QString displayName(const std::filesystem::path& p) {
  if constexpr (wideFileNames) return QString::fromStdWString(p.wstring());
  return QFile::decodeName(QByteArray::fromStdString(p.string()));
}

// The path a name the user chose (a file dialog's) stands for.
inline std::filesystem::path pathOf(const QString& name) {
  if constexpr (wideFileNames) return std::filesystem::path(name.toStdWString());
  return std::filesystem::path(QFile::encodeName(name).toStdString());
}

// The path's own bytes, kept in a list entry to find the file again
// (pathFromBytes): the system's bytes, or UTF-8 where names are wide.
inline QByteArray pathBytes(const std::filesystem::path& p) {
  if constexpr (wideFileNames) return QString::fromStdWString(p.wstring()).toUtf8();
  return QByteArray::fromStdString(p.string());
}

inline std::filesystem::path pathFromBytes(const QByteArray& bytes) {
  if constexpr (wideFileNames)
    return std::filesystem::path(QString::fromUtf8(bytes).toStdWString());
  return std::filesystem::path(bytes.toStdString());
}

}  // namespace kestrix::ui
