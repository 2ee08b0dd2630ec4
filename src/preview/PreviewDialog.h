// The meeting point of the control and its preview dialog. The dialog and the Qt libraries it
// needs live in a module of their own, loaded the first time a preview is shown, so that a host
// that only prints never loads Qt.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "preview/PreviewPage.h"

namespace tavo {

// The print button's work: prints the previewed documents on the current printer as
// PrintXmlData does; a failure's message as UTF-8, or none when the documents were printed.
using PrintDocuments = std::function<std::optional<std::string>(const std::u16string& xmlData,
                                                                const std::u16string& xmlRule)>;

struct PreviewDialogRequest {
  std::u16string xmlData;
  std::u16string xmlRule;
  // Draws the page; called once the Qt application exists. May throw.
  std::function<PreviewPage()> drawPage;
  PrintDocuments printDocuments;
};

// Shows the modal dialog for the request and returns when the user has closed it; while one is
// shown, a further call only brings it to the front. Throws, without a dialog, when there is no
// display or the page cannot be drawn.
using ShowPreviewDialogEntry = void (*)(const PreviewDialogRequest& request);

// The dialog module's one exported function, of the type above.
inline constexpr const char* kPreviewDialogEntryName = "TavoShowPreviewDialog";
// The dialog module's file name, beside the control's module.
inline constexpr const char* kPreviewDialogModuleName = "TavoPreviewDialog.so";

}  // namespace tavo
