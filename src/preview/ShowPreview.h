// The modal preview of PreviewXmlData: one process-wide preview dialog at a time.
#pragma once

#include <string>

namespace tavo {

class TFormComPrint;

// Shows the data text laid out by the rule text over the background named by `imagePath`
// (a picture file, or Base64 picture text, or empty for none) in the modal preview dialog, and
// returns when the user has closed it. While a preview is shown, a further call only brings it
// to the front and returns at once. Fails with tavo::Error, without showing a dialog, when there
// is no display or the preview cannot be drawn; the dialog is destroyed on every path.
void ShowPreview(const std::u16string& xmlData, const std::u16string& xmlRule,
                 const std::u16string& imagePath);

// The preview dialog being shown, or none.
TFormComPrint* OpenPreview();

// True when a window shown now would reach a person (WhyNoDisplay, platform/qt/Display.h).
bool HasDisplay();

}  // namespace tavo
