// The one application object of a window test program, on Qt's offscreen
// platform unless QT_QPA_PLATFORM names another: no display is needed,
// however the tests are started. The user's own settings (the limits file)
// are never read nor written, and no test leaves a window shown for the next.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "temp_folder.hpp"

namespace kestrix::testing {

// After each test, any window it left shown fails it and is closed: the
// offscreen platform would hand the next test's mouse moves to it.
class NoWindowLeftShown : public ::testing::EmptyTestEventListener {
 public:
  void OnTestEnd(const ::testing::TestInfo&) override {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (!window->isVisible()) continue;
      ADD_FAILURE() << "the test left a window shown: " << window->metaObject()->className()
                    << " \"" << window->windowTitle().toStdString() << "\"";
      window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

inline QApplication& application() {
  static int argc = 1;
  static char name[] = "kestrix-window-test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing it down after main() returns would outlive Qt's own globals.
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings in a folder of this run's own, however the tests are started;
    // a test may name another.
    static TempFolder settings;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(settings.path().string()));
    // Before the printer, which then tells a test failed by it as failed.
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    ::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
    listeners.Append(new NoWindowLeftShown);
    if (printer) listeners.Append(printer);
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace kestrix::testing
