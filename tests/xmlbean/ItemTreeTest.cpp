#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "xmlbean/unitTavoCommonXmlBean.h"

namespace tavo {
namespace {

// An object that records when it dies, to see lists destroy each entry exactly once.
class Tracked : public TObject {
 public:
  Tracked(std::vector<int>& log, int id) : log_(log), id_(id) {}
  ~Tracked() override { log_.push_back(id_); }

 private:
  std::vector<int>& log_;
  int id_;
};

std::unique_ptr<TItem> MakeItem(const std::string& name) {
  auto item = std::make_unique<TItem>();
  item->Name = name;
  return item;
}

std::unique_ptr<TItemProperty> MakeProperty(const std::string& name, const std::string& text,
                                            const std::string& value = "") {
  auto property = std::make_unique<TItemProperty>(name, text);
  property->Value = value;
  return property;
}

TEST(ItemTree, ChildrenAreCountedByKindInDocumentOrder) {
  TItem parent;
  parent.AddChild(MakeItem("A"));
  parent.AddChild(MakeProperty("P", "p-text"));
  parent.AddChild(MakeItem("B"));
  parent.AddChild(MakeProperty("Q", "q-text", "q-value"));

  EXPECT_EQ(parent.ItemCount(), 2);
  EXPECT_EQ(parent.PropertyCount(), 2);
  EXPECT_EQ(parent.ItemAt(0)->Name, "A");
  EXPECT_EQ(parent.ItemAt(1)->Name, "B");
  EXPECT_EQ(parent.ItemAt(2), nullptr);
  EXPECT_EQ(parent.ItemAt(-1), nullptr);
  EXPECT_EQ(parent.GetPropertyNameAt(0), "P");
  EXPECT_EQ(parent.GetPropertyValueAt(0), "p-text");
  EXPECT_EQ(parent.GetPropertyValueAt(1), "q-value");  // Value wins over Text
  EXPECT_EQ(parent.GetPropertyValueAt(2), "");
  EXPECT_EQ(parent.GetPropertyNameAt(-1), "");
}

TEST(ItemTree, OnlyExactTItemAndTItemPropertyCountAsChildren) {
  TItem parent;
  parent.Children->Add("request", new TRequest);  // derived from TItem: neither kind
  parent.Children->Add("nv", new TTavoNameValue("nv", "x"));
  parent.AddChild(MakeItem("request"));
  EXPECT_EQ(parent.ItemCount(), 1);
  EXPECT_EQ(parent.PropertyCount(), 0);
  EXPECT_EQ(typeid(*parent.FindItem("request")), typeid(TItem));
  EXPECT_EQ(typeid(*parent.ItemAt(0)), typeid(TItem));
}

TEST(ItemTree, LookupsTakeTheFirstMatchAndRemoveItemTheLast) {
  TItem parent;
  auto first = MakeItem("row");
  first->AddAttribute("n", "1");
  auto second = MakeItem("row");
  second->AddAttribute("n", "2");
  parent.AddChild(std::move(first));
  parent.AddChild(MakeProperty("text", "one"));
  parent.AddChild(std::move(second));
  parent.AddChild(MakeProperty("text", "two"));

  EXPECT_EQ(parent.FindItem("row")->GetAttribute("n"), "1");
  EXPECT_EQ(parent.FindItem("ROW"), nullptr);
  EXPECT_EQ(parent.GetPropertyValue("text", false), "one");
  EXPECT_EQ(parent.GetPropertyValue("TEXT", false), "");
  EXPECT_EQ(parent.GetPropertyValue("TEXT", true), "one");
  EXPECT_EQ(parent.GetPropertyValue("missing", true), "");

  std::unique_ptr<TItem> removed = parent.RemoveItem("row", false);
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->GetAttribute("n"), "2");
  EXPECT_EQ(parent.ItemCount(), 1);
  EXPECT_EQ(parent.PropertyCount(), 2);
  EXPECT_EQ(parent.RemoveItem("row", true), nullptr);
  EXPECT_EQ(parent.ItemCount(), 0);
  EXPECT_EQ(parent.RemoveItem("row", false), nullptr);  // nothing left to match
}

TEST(ItemTree, AttributesMatchWithoutRegardToAsciiCaseFirstOneWins) {
  TItem item;
  item.AddAttribute("left", "10");
  item.AddAttribute("LEFT", "20");
  item.AddAttribute("Top", "5");
  EXPECT_EQ(item.GetAttribute("LEFT"), "10");
  EXPECT_EQ(item.GetAttribute("top"), "5");
  EXPECT_EQ(item.GetAttribute("width"), "");
  EXPECT_EQ(item.Attributes->Count(), 3);
}

TEST(ItemTree, DoubleByteAttributeNamesAreNotFoldedInsideACharacter) {
  codepage::ScopedCodeSet gbk("GBK");
  // Two different GBK characters whose trail bytes are the letters 'a' and 'A'.
  const std::string lower = "\x81\x61", upper = "\x81\x41";
  ASSERT_NE(codepage::AnsiToWide(lower), codepage::AnsiToWide(upper));
  TItem item;
  item.AddAttribute(lower, "lower");
  EXPECT_EQ(item.GetAttribute(upper), "");
  EXPECT_EQ(item.GetAttribute(lower), "lower");
}

TEST(ItemTree, RequestAndResponseAnswerAsEmptyItems) {
  TRequest request;
  TResponse response;
  for (const TItem* node :
       {static_cast<const TItem*>(&request), static_cast<const TItem*>(&response)}) {
    EXPECT_EQ(node->Attributes, nullptr);
    EXPECT_EQ(node->Children, nullptr);
    EXPECT_EQ(node->ItemCount(), 0);
    EXPECT_EQ(node->PropertyCount(), 0);
    EXPECT_EQ(node->FindItem(""), nullptr);
    EXPECT_EQ(node->ItemAt(0), nullptr);
    EXPECT_EQ(node->GetPropertyValue("", true), "");
    EXPECT_EQ(node->GetPropertyValueAt(0), "");
    EXPECT_EQ(node->GetPropertyNameAt(0), "");
    EXPECT_EQ(node->GetAttribute(""), "");
  }
  EXPECT_EQ(request.RemoveItem("", false), nullptr);
}

TEST(ItemTree, RemovedItemKeepsItsSubtreeAfterParentAndBeanAreGone) {
  std::unique_ptr<TItem> printing;
  {
    TTavoCommonXmlBean bean(true);
    auto item = MakeItem("printing");
    item->AddAttribute("pageWidth", "210");
    auto element = MakeItem("e");
    element->AddChild(MakeProperty("text", "abc"));
    item->AddChild(std::move(element));
    bean.Item->AddChild(std::move(item));
    bean.Item->AddChild(MakeItem("other"));
    printing = bean.Item->RemoveItem("printing", false);
    EXPECT_EQ(bean.Item->ItemCount(), 1);
  }
  ASSERT_NE(printing, nullptr);
  EXPECT_EQ(printing->GetAttribute("pagewidth"), "210");
  EXPECT_EQ(printing->FindItem("e")->GetPropertyValue("text"), "abc");
}

// One tree in several slots dies once (the sanitizer build reports a second destruction).
TEST(ItemTree, BeanDestroysASharedTreeOnce) {
  for (int shape = 0; shape < 3; ++shape) {
    auto bean = std::make_unique<TTavoCommonXmlBean>(true);
    bean->Item->AddChild(MakeProperty("p", "v"));
    if (shape != 1) {
      delete bean->Request;
      bean->Request = bean->Item;
    }
    if (shape != 0) bean->SetResponse(bean->Item);
    bean->SetResponse(bean->Response);  // already there: nothing happens
    EXPECT_EQ(bean->Request == bean->Item, shape != 1);
    EXPECT_EQ(bean->Response == bean->Item, shape != 0);
    EXPECT_EQ(bean->Item->GetPropertyValue("p"), "v");
  }
}

TEST(ObjectList, SharedEntriesDieOnceInOrderOfTheirLastPosition) {
  for (int extra : {0, 40}) {  // a short list, and one long enough to be sorted
    std::vector<int> log;
    auto* list = new TStringList;
    auto* a = new Tracked(log, 1);
    auto* b = new Tracked(log, 2);
    list->Add("a", a);
    list->Add("b", b);
    list->Add("none", nullptr);
    list->Add("a again", a);
    for (int i = 0; i < extra; ++i) list->Add("x", new Tracked(log, 100 + i));
    list->Add("b again", b);
    FreeObjectList(list);
    EXPECT_EQ(list, nullptr);
    ASSERT_EQ(log.size(), static_cast<size_t>(2 + extra));
    EXPECT_EQ(log.front(), 2);  // b stands last
    EXPECT_EQ(log.back(), 1);   // a's last position comes before every filler
  }
}

TEST(ObjectList, NestedListsAreFreedWithTheirContents) {
  std::vector<int> log;
  TStringList outer;
  auto* inner = new TStringList;
  auto* shared = new Tracked(log, 7);
  inner->Add("t", new Tracked(log, 1));
  inner->Add("s", shared);
  inner->Add("s", shared);
  outer.Add("inner", inner);
  outer.Add("u", new Tracked(log, 2));
  ClearObjectList(&outer);
  EXPECT_EQ(outer.Count(), 0);
  EXPECT_EQ(log, (std::vector<int>{2, 7, 1}));
  ClearObjectList(nullptr);
  TStringList* none = nullptr;
  FreeObjectList(none);
}

TEST(ObjectList, DetachObjectEmptiesEverySlotHoldingIt) {
  std::vector<int> log;
  TStringList list;
  Tracked kept(log, 1);
  list.Add("a", &kept);
  list.Add("b", nullptr);
  list.Add("c", &kept);
  DetachObject(list, &kept);
  EXPECT_EQ(list.Count(), 3);
  for (const auto& entry : list.entries) EXPECT_EQ(entry.object, nullptr);
  ClearObjectList(&list);
  EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace tavo
