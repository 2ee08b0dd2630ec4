// The Qt application that windows need. The control keeps none between calls: a host that has
// its own keeps it untouched; otherwise each call that needs Qt makes one on the calling thread
// and destroys it there before it returns.
#pragma once

#include <memory>

class QApplication;

namespace tavo {

// What a call needs Qt for: windows shown to a person (the platform the environment names), or
// at most drawing (painting and fonts on the offscreen platform, never a display).
enum class QtUse { Drawing, Windows };

// The length of one host call that may need Qt, on the calling thread. The application used in
// it is the host's own when there is one, which is never touched, or one an outer scope made.
// Else a Windows scope makes one at once, and a Drawing scope only when a device asks for one
// (EnsureQtApplication); either way it is made on the calling thread and destroyed there when
// the outermost scope ends, inside the host's call, while every Qt library and plugin is still
// loaded and before the thread can end. So no application of ours is left to the exit
// handlers, which destroy Qt's globals in an order no application can outlive, or to a thread
// that is gone. Fails with tavo::Error when the existing application cannot serve `use`.
class QtApplicationScope {
 public:
  explicit QtApplicationScope(QtUse use);
  ~QtApplicationScope();
  QtApplicationScope(const QtApplicationScope&) = delete;
  QtApplicationScope& operator=(const QtApplicationScope&) = delete;

 private:
  friend void EnsureQtApplication();

  QtApplicationScope* outer_;           // the enclosing scope on this thread, or none
  std::unique_ptr<QApplication> made_;  // the application this scope made, if any
};

// For the devices that draw with Qt: unless an application exists, makes one. Inside a scope it
// belongs to the outermost scope of the thread; outside any (tests, tools and benchmarks that
// use the devices directly, not through the control) it lives until the process ends and is
// never destroyed. Fails with tavo::Error when the existing application cannot draw.
void EnsureQtApplication();

}  // namespace tavo
