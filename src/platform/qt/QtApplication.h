// The Qt application that windows (and, for now, the Qt drawing devices) need. The control
// keeps none between calls: a host that has its own keeps it untouched; otherwise each call
// that needs Qt makes one on the calling thread and destroys it there before it returns.
#pragma once

#include <memory>

class QApplication;

namespace tavo {

// What a call needs Qt for: drawing only (painting and fonts, never a display: the offscreen
// platform), or windows shown to a person (the platform the environment names).
enum class QtUse { Drawing, Windows };

// While one lives, the process has a Qt application. It is the host's own when there is one,
// which is never touched, or one made by an outer scope; else this scope makes one on the
// calling thread and destroys it on that thread when the scope ends, inside the host's call,
// while every Qt library and plugin is still loaded and before the thread can end. So no
// application of ours is left to the exit handlers, which destroy Qt's globals in an order no
// application can outlive, or to a thread that is gone. Fails with tavo::Error when the
// existing application cannot serve `use`.
class QtApplicationScope {
 public:
  explicit QtApplicationScope(QtUse use);
  ~QtApplicationScope();
  QtApplicationScope(const QtApplicationScope&) = delete;
  QtApplicationScope& operator=(const QtApplicationScope&) = delete;

 private:
  std::unique_ptr<QApplication> made_;  // none when the application was there before
};

// For code that draws inside a scope, or outside the control altogether (tests, tools and
// benchmarks that use the devices directly): unless an application exists, makes one on the
// offscreen platform that lives until the process ends and is never destroyed. Fails with
// tavo::Error when the existing application cannot draw.
void EnsureQtApplication();

}  // namespace tavo
