#include "preview/PreviewFixtures.h"

#include <cstdlib>

namespace tavo::test {
namespace {

// Every window of these tests goes to the offscreen platform.
[[maybe_unused]] const bool offscreen = (setenv("QT_QPA_PLATFORM", "offscreen", 1), true);

}  // namespace

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) previous_ = old;
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (previous_)
    setenv(name_.c_str(), previous_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

WhenModal::WhenModal(std::function<void()> action) {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, std::move(action));
  timer_.start(0);
}

}  // namespace tavo::test
