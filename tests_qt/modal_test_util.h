// Helpers of the Qt form tests: waiting for a condition while Qt runs, and
// acting on a modal form once it is shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <functional>
#include <type_traits>

namespace pictavo::qt::formtest {

constexpr int kWaitMs = 5000;

inline bool WaitFor(const std::function<bool()>& done, int ms = kWaitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs `steps` on the modal form of type Form as soon as it is shown.  A form
// still open afterwards is cancelled, so that a failing test never hangs.
template <typename Form = QDialog>
void WhenShown(const std::function<void(std::type_identity_t<Form>&)>& steps) {
  QTimer::singleShot(0, [steps] {
    Form* form = nullptr;
    WaitFor([&] {
      form = qobject_cast<Form*>(QApplication::activeModalWidget());
      return form != nullptr;
    });
    if (!form) {
      ADD_FAILURE() << "no modal form appeared";
      return;
    }
    steps(*form);
    if (form->isVisible()) form->reject();
  });
}

template <typename T>
T* Child(QWidget& form, const QString& name) {
  T* child = form.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name.toStdString();
  return child;
}

}  // namespace pictavo::qt::formtest
