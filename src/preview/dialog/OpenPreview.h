// The dialog module's side of ShowPreview: the one open preview dialog of the process.
#pragma once

#include "preview/PreviewDialog.h"

namespace tavo {

class TFormComPrint;

// The preview dialog being shown, or none.
TFormComPrint* OpenPreview();

// ShowPreviewDialogEntry: shows the request's page in a new modal dialog, or raises the open one.
void ShowPreviewDialog(const PreviewDialogRequest& request);

}  // namespace tavo
