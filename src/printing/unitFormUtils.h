// Colours and inline pictures given as text in rule and data documents.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas/Color.h"
#include "platform/picture/Picture.h"

namespace tavo {

// The colour named or written as an integer by the text; `defaultColor` for a blank text or
// anything else. Never fails.
Color TextToColor(std::string_view text, Color defaultColor);

// The colour of a line or rectangle: a colour name or an integer, taken as it stands. Anything
// else, the empty text included, fails with "'<text>' is not a valid integer value".
Color StrictTextToColor(std::string_view text);

// The picture kind told by the first two characters of Base64 picture text.
enum Base64Kind : int { bkNone = 0, bkJpeg = 1, bkBmp = 2, bkPng = 3 };
int Base64ImageKind(std::string_view text);

// Fills the picture from Base64 picture text; never fails outward. A bitmap or JPEG that does
// not decode leaves an empty graphic of its kind (nothing drawable); a PNG that does not decode,
// and text of no known kind, leave the picture as it was.
void LoadBase64Image(std::string_view text, Picture& picture);

}  // namespace tavo
