// Walking the item trees of rule and data documents in document order, in one pass over each
// list, and finding rule elements by "id" without rescanning the rule for every field.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "xmlbean/unitTavoCommonXmlBean.h"

namespace tavo {

// The child items of the item (entries of exactly class TItem), in order.
std::vector<TItem*> ChildItems(const TItem& item);
// The properties of the item (entries of exactly class TItemProperty), in order.
std::vector<const TItemProperty*> ChildProperties(const TItem& item);
// Takes that very child item out of the parent's Children without destroying it.
std::unique_ptr<TItem> DetachChildItem(TItem& parent, TItem* child);

// What the static pass draws for an element's "type" (compared exactly): only these four types
// draw by themselves; any other element exists to receive data.
enum class TStaticKind { None, Line, Rectangle, Image, Text, Barcode };
TStaticKind StaticKindOf(const std::string& type);

// The data item of a parsed data document: the first child item of the root item's first child
// item; none when the document does not nest that deep. Its first child item holds the rows.
TItem* DataItemOf(const TTavoCommonXmlBean* bean);
// Every record at that level: the child items of the root item's first child item, of which the
// data item is the first.
std::vector<TItem*> RecordsOf(const TTavoCommonXmlBean* bean);

// The first element (in document order) with each "id", and with each ("id", "index") pair.
class TElementIndex {
 public:
  explicit TElementIndex(const TItem& rule);
  const TItem* Rule() const { return rule_; }
  TItem* FirstWithId(const std::string& id) const;
  TItem* FirstWithIdAndIndex(const std::string& id, const std::string& index) const;
  // The element a data field `id` of row `row` (0 for the document's fields) is bound to: with
  // automatic rows any element with that "id", otherwise the one whose "index" is the row
  // number in decimal.
  TItem* Find(const std::string& id, int32_t row, bool automaticRows) const;

 private:
  const TItem* rule_;
  std::map<std::string, TItem*> byId_;
  std::map<std::pair<std::string, std::string>, TItem*> byIdAndIndex_;
};

}  // namespace tavo
