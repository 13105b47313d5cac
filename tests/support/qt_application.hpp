// The one application object of a window test program, on Qt's offscreen
// platform unless QT_QPA_PLATFORM names another: no display is needed,
// however the tests are started.
#pragma once

#include <QApplication>

namespace kestrix::testing {

inline QApplication& application() {
  static int argc = 1;
  static char name[] = "kestrix-window-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: tearing it down after main() returns would outlive Qt's own globals.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace kestrix::testing
