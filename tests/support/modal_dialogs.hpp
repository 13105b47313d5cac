// Acting in the modal dialogs a window test opens, as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <functional>

namespace kestrix::testing {

// Runs `act` on the next modal window of type T that `accepts`, once it shows
// (within ten seconds: a loaded machine may be slow to show one).
template <class T>
void whenShown(std::function<void(T*)> act, std::function<bool(T*)> accepts = {},
               int triesLeft = 1000) {
  QTimer::singleShot(10, [=] {
    auto* shown = qobject_cast<T*>(QApplication::activeModalWidget());
    if (shown && (!accepts || accepts(shown))) {
      act(shown);
    } else if (triesLeft > 0) {
      whenShown<T>(act, accepts, triesLeft - 1);
    } else {
      ADD_FAILURE() << "no dialog showed";
    }
  });
}

// Types `name` into the dialog's file name box and presses Save. selectFile()
// moves to the name's folder and clears the list's selection (which would
// win over the box) but leaves the box alone while it has the focus, which
// it may or may not have yet: the box is filled here as well.
inline void typeFileName(QFileDialog* dialog, const QString& name) {
  dialog->selectFile(name);
  if (auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) box->setText(name);
  QMetaObject::invokeMethod(dialog, "accept");
}

}  // namespace kestrix::testing
