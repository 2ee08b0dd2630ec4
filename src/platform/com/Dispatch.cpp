#include "platform/com/Dispatch.h"

namespace tavo {

void ClearExcepInfo(EXCEPINFO* info) {
  if (info == nullptr) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  *info = EXCEPINFO{};
}

}  // namespace tavo
