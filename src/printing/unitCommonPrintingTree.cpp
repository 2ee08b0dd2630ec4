#include "printing/unitCommonPrintingTree.h"

#include <typeinfo>

namespace tavo {

std::vector<TItem*> ChildItems(const TItem& item) {
  std::vector<TItem*> items;
  if (!item.Children) return items;
  for (const TStringList::Entry& entry : item.Children->entries) {
    if (entry.object && typeid(*entry.object) == typeid(TItem)) {
      items.push_back(static_cast<TItem*>(entry.object));
    }
  }
  return items;
}

std::vector<const TItemProperty*> ChildProperties(const TItem& item) {
  std::vector<const TItemProperty*> properties;
  if (!item.Children) return properties;
  for (const TStringList::Entry& entry : item.Children->entries) {
    if (entry.object && typeid(*entry.object) == typeid(TItemProperty)) {
      properties.push_back(static_cast<const TItemProperty*>(entry.object));
    }
  }
  return properties;
}

std::unique_ptr<TItem> DetachChildItem(TItem& parent, TItem* child) {
  if (!parent.Children || !child) return nullptr;
  auto& entries = parent.Children->entries;
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->object == child) {
      entries.erase(it);
      return std::unique_ptr<TItem>(child);
    }
  }
  return nullptr;
}

TStaticKind StaticKindOf(const std::string& type) {
  if (type == "line") return TStaticKind::Line;
  if (type == "rectangle") return TStaticKind::Rectangle;
  if (type == "image") return TStaticKind::Image;
  if (type == "text") return TStaticKind::Text;
  if (type == "barcode") return TStaticKind::Barcode;
  return TStaticKind::None;
}

TItem* DataItemOf(const TTavoCommonXmlBean* bean) {
  if (!bean || !bean->Item) return nullptr;
  TItem* wrapper = bean->Item->ItemAt(0);
  return wrapper ? wrapper->ItemAt(0) : nullptr;
}

std::vector<TItem*> RecordsOf(const TTavoCommonXmlBean* bean) {
  if (!bean || !bean->Item) return {};
  const TItem* wrapper = bean->Item->ItemAt(0);
  return wrapper ? ChildItems(*wrapper) : std::vector<TItem*>{};
}

TElementIndex::TElementIndex(const TItem& rule) : rule_(&rule) {
  for (TItem* element : ChildItems(rule)) {
    std::string id = element->GetAttribute("id");
    byIdAndIndex_.try_emplace({id, element->GetAttribute("index")}, element);
    byId_.try_emplace(std::move(id), element);
  }
}

TItem* TElementIndex::FirstWithId(const std::string& id) const {
  const auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : found->second;
}

TItem* TElementIndex::FirstWithIdAndIndex(const std::string& id, const std::string& index) const {
  const auto found = byIdAndIndex_.find({id, index});
  return found == byIdAndIndex_.end() ? nullptr : found->second;
}

TItem* TElementIndex::Find(const std::string& id, int32_t row, bool automaticRows) const {
  return automaticRows ? FirstWithId(id) : FirstWithIdAndIndex(id, std::to_string(row));
}

}  // namespace tavo
