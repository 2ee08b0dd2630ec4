// The root object class and the owning string list with its destruction routines.
#pragma once

#include <string>
#include <vector>

namespace tavo {

// The root of every class of the item tree: objects are told apart by their exact class.
class TObject {
 public:
  virtual ~TObject() = default;
};

// An ordered list of (text, object) entries. The list owns the objects it holds and destroys
// them with ClearObjectList: an object held at several positions is destroyed exactly once.
class TStringList : public TObject {
 public:
  struct Entry {
    std::string text;
    TObject* object = nullptr;
  };

  TStringList() = default;
  ~TStringList() override;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  void Add(std::string text, TObject* object) { entries.push_back({std::move(text), object}); }
  int Count() const { return static_cast<int>(entries.size()); }

  std::vector<Entry> entries;
};

// Empties the list with ClearObjectList, destroys it and sets the reference to none.
void FreeObjectList(TStringList*& list);
// Destroys every object held in the list (each once, nested lists with their contents), then
// removes all entries.
void ClearObjectList(TStringList* list);
// Sets to none every slot of the list that holds object.
void DetachObject(TStringList& list, const TObject* object);

}  // namespace tavo
