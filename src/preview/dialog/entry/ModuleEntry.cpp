// The dialog module's one exported function (kPreviewDialogEntryName); everything else in the
// module stays its own.
#include "preview/dialog/OpenPreview.h"

extern "C" __attribute__((visibility("default"))) void TavoShowPreviewDialog(
    const tavo::PreviewDialogRequest& request) {
  tavo::ShowPreviewDialog(request);
}
