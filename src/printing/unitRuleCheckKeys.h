// The keys of rule documents as the checker knows them: their names, value types and what the
// engine uses when a value does not read. The values are read by the engine's own readers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xmlbean/unitTavoCommonXmlBean.h"

namespace tavo {

enum class TKeyType { Text, Integer, Real, Boolean, Align, Color, StrictColor };

struct TKeySpec {
  std::string_view name;
  TKeyType type;
  std::string_view fallback;  // what applies when the value does not read, in words
};

// The attributes of the `printing` element and of the elements, in reading order.
const std::vector<TKeySpec>& PageKeys();
const std::vector<TKeySpec>& ElementKeys();
// The key of that name, ASCII letter case ignored as the engine does; none when unknown.
const TKeySpec* FindKey(const std::vector<TKeySpec>& keys, std::string_view name);

// Whether the text reads as the key's type. An absent strict colour does not read either.
bool ValueReads(TKeyType type, std::string_view text);
// A way to write what an unreadable value probably meant ("#FF0000" -> "$0000FF"); empty when
// there is none.
std::string SuggestValue(TKeyType type, std::string_view text);

// The candidate closest to the word (letter case ignored, then few edits); empty when none is
// close enough to be a likely misspelling.
std::string ClosestName(std::string_view word, const std::vector<std::string>& candidates);

// Every attribute of the node, in order, as name and value.
std::vector<std::pair<std::string, std::string>> AttributesOf(const TCommonNodeObject& node);

}  // namespace tavo
