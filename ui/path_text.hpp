// File names between the system's bytes and the window's text.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>

namespace kestrix::ui {

// The path as the window shows it, decoded as the system names files.
inline QString displayName(const std::filesystem::path& p) {
  return QFile::decodeName(QByteArray(p.c_str()));
}

// The path's own bytes, kept in a list entry to find the file again.
inline QByteArray pathBytes(const std::filesystem::path& p) {
  return QByteArray(p.c_str());
}

}  // namespace kestrix::ui
