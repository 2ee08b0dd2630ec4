// The module's object and lock counts, which DllCanUnloadNow answers from.
#pragma once

#include <atomic>

namespace tavo {

struct ModuleState {
  std::atomic<long> objects{0};
  std::atomic<long> locks{0};
};

ModuleState& Module();

}  // namespace tavo
