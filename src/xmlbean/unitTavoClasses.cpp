#include "xmlbean/unitTavoClasses.h"

#include <algorithm>
#include <set>
#include <utility>

namespace tavo {
namespace {

// Lists this short are checked pair by pair; longer ones are sorted, so freeing a list of n
// entries never costs n * n.
constexpr size_t kPairwiseLimit = 16;

// The objects that stand at more than one position of the list, sorted; usually none.
std::vector<const TObject*> SharedObjects(const std::vector<TStringList::Entry>& entries) {
  std::vector<const TObject*> shared;
  if (entries.size() <= kPairwiseLimit) {
    for (size_t i = 0; i < entries.size(); ++i) {
      for (size_t j = i + 1; j < entries.size(); ++j) {
        if (entries[i].object != nullptr && entries[i].object == entries[j].object) {
          shared.push_back(entries[i].object);
          break;
        }
      }
    }
    std::sort(shared.begin(), shared.end());
  } else {
    std::vector<const TObject*> sorted;
    sorted.reserve(entries.size());
    for (const auto& entry : entries) {
      if (entry.object != nullptr) sorted.push_back(entry.object);
    }
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i) {
      if (sorted[i] == sorted[i - 1] && (shared.empty() || shared.back() != sorted[i])) {
        shared.push_back(sorted[i]);
      }
    }
  }
  shared.erase(std::unique(shared.begin(), shared.end()), shared.end());
  return shared;
}

void DestroyObject(TObject* object) {
  if (auto* nested = dynamic_cast<TStringList*>(object)) {
    FreeObjectList(nested);
  } else {
    delete object;
  }
}

}  // namespace

TStringList::~TStringList() { ClearObjectList(this); }

void FreeObjectList(TStringList*& list) {
  if (list == nullptr) return;
  ClearObjectList(list);
  delete list;
  list = nullptr;
}

void ClearObjectList(TStringList* list) {
  if (list == nullptr) return;
  auto& entries = list->entries;
  const std::vector<const TObject*> shared = SharedObjects(entries);
  std::set<const TObject*> destroyed;  // shared objects already gone
  // From the last position to the first: every slot is detached before its object dies, and an
  // object held at several positions dies once, at its last position.
  for (size_t i = entries.size(); i-- > 0;) {
    TObject* object = std::exchange(entries[i].object, nullptr);
    if (object == nullptr) continue;
    if (std::binary_search(shared.begin(), shared.end(), object)) {
      if (!destroyed.insert(object).second) continue;
    }
    DestroyObject(object);
  }
  entries.clear();
}

void DetachObject(TStringList& list, const TObject* object) {
  for (auto& entry : list.entries) {
    if (entry.object == object) entry.object = nullptr;
  }
}

}  // namespace tavo
