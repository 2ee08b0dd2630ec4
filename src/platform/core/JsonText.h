// JSON text for the values the control hands to hosts as strings (print outcome, job state).
#pragma once

#include <string>
#include <string_view>

namespace tavo {

// The text as a JSON string, quotes included: quote, backslash and control characters
// escaped, everything else as it is.
std::u16string JsonQuote(std::u16string_view text);

}  // namespace tavo
