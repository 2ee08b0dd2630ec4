#include "control/ModuleState.h"

namespace tavo {

ModuleState& Module() {
  static ModuleState state;
  return state;
}

}  // namespace tavo
