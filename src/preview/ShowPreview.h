// The modal preview of PreviewXmlData: one process-wide preview dialog at a time.
#pragma once

#include <optional>
#include <string>

#include "preview/PreviewDialog.h"

namespace tavo {

// Shows the data text laid out by the rule text over the background named by `imagePath`
// (a picture file, or Base64 picture text, or empty for none) in the modal preview dialog, and
// returns when the user has closed it. While a preview is shown, a further call only brings it
// to the front and returns at once. Fails with tavo::Error, without showing a dialog, when there
// is no display, the dialog module cannot be loaded, or the preview cannot be drawn.
void ShowPreview(const std::u16string& xmlData, const std::u16string& xmlRule,
                 const std::u16string& imagePath);

// What the preview dialog's print button does (PrintDocuments).
std::optional<std::string> PrintPreviewedDocuments(const std::u16string& xmlData,
                                                   const std::u16string& xmlRule);

// Makes ShowPreview use a dialog linked into the program instead of loading the module (for a
// program that carries the dialog itself, as the dialog's tests do).
void UseLinkedPreviewDialog(ShowPreviewDialogEntry entry);

// True when a window shown now would reach a person (WhyNoDisplay, platform/core/Display.h).
bool HasDisplay();

}  // namespace tavo
