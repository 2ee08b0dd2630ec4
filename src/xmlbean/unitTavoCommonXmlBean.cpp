#include "xmlbean/unitTavoCommonXmlBean.h"

#include <typeinfo>

#include "platform/codepage/CodePage.h"
#include "platform/core/AsciiText.h"

namespace tavo {
namespace {

// Children are told apart by their exact class: a request standing in a list is no child item.
const TItem* AsItem(const TObject* object) {
  return object != nullptr && typeid(*object) == typeid(TItem) ? static_cast<const TItem*>(object)
                                                               : nullptr;
}

const TItemProperty* AsProperty(const TObject* object) {
  return object != nullptr && typeid(*object) == typeid(TItemProperty)
             ? static_cast<const TItemProperty*>(object)
             : nullptr;
}

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  const auto upper = [](char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
  };
  for (size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// Attribute names compare as characters, not bytes: a trail byte of a double-byte character
// that happens to be an ASCII letter must not be folded.
bool SameAttributeName(const std::string& a, const std::string& b) {
  if (IsAscii(a) && IsAscii(b)) return EqualsIgnoringAsciiCase(a, b);
  return EqualsIgnoringCase(codepage::AnsiToWide(a), codepage::AnsiToWide(b));
}

// The index-th property of the children, counting properties only; none when out of range.
const TItemProperty* PropertyAt(const TStringList* children, int index) {
  if (children == nullptr || index < 0) return nullptr;
  for (const auto& entry : children->entries) {
    if (const TItemProperty* property = AsProperty(entry.object)) {
      if (index-- == 0) return property;
    }
  }
  return nullptr;
}

}  // namespace

// --- TCommonNodeObject ---

TCommonNodeObject::TCommonNodeObject() : Attributes(new TStringList) {}

TCommonNodeObject::~TCommonNodeObject() { FreeObjectList(Attributes); }

void TCommonNodeObject::AddAttribute(const std::string& name, const std::string& value) {
  if (Attributes == nullptr) Attributes = new TStringList;
  Attributes->Add(name, new TTavoNameValue(name, value));
}

std::string TCommonNodeObject::GetAttribute(const std::string& name) const {
  if (Attributes == nullptr) return {};
  for (const auto& entry : Attributes->entries) {
    const auto* attribute = dynamic_cast<const TTavoNameValue*>(entry.object);
    if (attribute != nullptr && SameAttributeName(entry.text, name)) return attribute->Value;
  }
  return {};
}

// --- TItem ---

TItem::TItem() : Children(new TStringList) {}

TItem::~TItem() { FreeObjectList(Children); }

std::string TItem::GetPropertyValue(const std::string& name, bool ignoreCase) const {
  if (Children == nullptr) return {};
  for (const auto& entry : Children->entries) {
    const TItemProperty* property = AsProperty(entry.object);
    if (property == nullptr) continue;
    if (ignoreCase ? EqualsIgnoringAsciiCase(property->Name, name) : property->Name == name) {
      return property->GetValue();
    }
  }
  return {};
}

std::string TItem::GetPropertyValueAt(int index) const {
  const TItemProperty* property = PropertyAt(Children, index);
  return property != nullptr ? property->GetValue() : std::string();
}

std::string TItem::GetPropertyNameAt(int index) const {
  const TItemProperty* property = PropertyAt(Children, index);
  return property != nullptr ? property->Name : std::string();
}

int TItem::PropertyCount() const {
  if (Children == nullptr) return 0;
  int count = 0;
  for (const auto& entry : Children->entries) {
    if (AsProperty(entry.object) != nullptr) ++count;
  }
  return count;
}

TItem* TItem::FindItem(const std::string& name) const {
  if (Children == nullptr) return nullptr;
  for (const auto& entry : Children->entries) {
    const TItem* item = AsItem(entry.object);
    if (item != nullptr && item->Name == name) return const_cast<TItem*>(item);
  }
  return nullptr;
}

TItem* TItem::ItemAt(int index) const {
  if (Children == nullptr || index < 0) return nullptr;
  for (const auto& entry : Children->entries) {
    const TItem* item = AsItem(entry.object);
    if (item != nullptr && index-- == 0) return const_cast<TItem*>(item);
  }
  return nullptr;
}

int TItem::ItemCount() const {
  if (Children == nullptr) return 0;
  int count = 0;
  for (const auto& entry : Children->entries) {
    if (AsItem(entry.object) != nullptr) ++count;
  }
  return count;
}

std::unique_ptr<TItem> TItem::RemoveItem(const std::string& name, bool destroy) {
  if (Children == nullptr) return nullptr;
  auto& entries = Children->entries;
  for (size_t i = entries.size(); i-- > 0;) {
    const TItem* item = AsItem(entries[i].object);
    if (item == nullptr || item->Name != name) continue;
    std::unique_ptr<TItem> taken(static_cast<TItem*>(entries[i].object));
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
    if (destroy) return nullptr;
    return taken;
  }
  return nullptr;
}

void TItem::AddChild(std::unique_ptr<TItem> item) {
  if (Children == nullptr) Children = new TStringList;
  std::string name = item->Name;
  Children->Add(std::move(name), item.release());
}

void TItem::AddChild(std::unique_ptr<TItemProperty> property) {
  if (Children == nullptr) Children = new TStringList;
  std::string name = property->Name;
  Children->Add(std::move(name), property.release());
}

// --- TTavoCommonXmlBean ---

TTavoCommonXmlBean::TTavoCommonXmlBean(bool withHead) {
  if (withHead) {
    Service = std::make_unique<TService>();
    User = std::make_unique<TUser>();
  }
  auto item = std::make_unique<TItem>();
  auto request = std::make_unique<TRequest>();
  auto response = std::make_unique<TResponse>();
  Item = item.release();
  Request = request.release();
  Response = response.release();
}

TTavoCommonXmlBean::~TTavoCommonXmlBean() {
  // Item, Request and Response may designate one tree: each distinct object dies once.
  if (Response != Item && Response != Request) delete Response;
  if (Request != Item) delete Request;
  delete Item;
}

void TTavoCommonXmlBean::SetResponse(TItem* node) {
  if (node == Response) return;
  TItem* previous = Response;
  Response = node;
  if (previous != Item && previous != Request) delete previous;
}

}  // namespace tavo
