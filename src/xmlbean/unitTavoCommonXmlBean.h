// The item tree and the bean envelope nodes into which every XML text is read.
// Texts are ANSI byte strings; the empty text stands for an absent value.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "xmlbean/unitTavoClasses.h"

namespace tavo {

// One attribute.
class TTavoNameValue : public TObject {
 public:
  TTavoNameValue(std::string name, std::string value)
      : Name(std::move(name)), Value(std::move(value)) {}
  std::string Name;
  std::string Value;
};

// Base of every node that carries attributes.
class TCommonNodeObject : public TObject {
 public:
  TCommonNodeObject();
  ~TCommonNodeObject() override;
  TCommonNodeObject(const TCommonNodeObject&) = delete;
  TCommonNodeObject& operator=(const TCommonNodeObject&) = delete;

  void AddAttribute(const std::string& name, const std::string& value);
  // The value of the first attribute whose name matches without regard to ASCII letter case.
  std::string GetAttribute(const std::string& name) const;

  // Owned list of TTavoNameValue; none for requests and responses.
  TStringList* Attributes = nullptr;
  // The line of the element in its document (1 is the first; a start tag over several lines
  // counts by the line it ends on); 0 when not parsed from text.
  int32_t SourceLine = 0;

 protected:
  struct WithoutLists {};
  explicit TCommonNodeObject(WithoutLists) {}
};

// A leaf of the item tree.
class TItemProperty : public TObject {
 public:
  TItemProperty(std::string name, std::string text)
      : Name(std::move(name)), Text(std::move(text)) {}
  // Value when it is not empty, otherwise Text.
  const std::string& GetValue() const { return Value.empty() ? Text : Value; }

  std::string Name;
  std::string DataType;
  std::string Value;
  std::string Text;
  int32_t SourceLine = 0;  // as TCommonNodeObject::SourceLine
};

// A branch of the item tree. Children hold items (exactly of class TItem) and properties
// (exactly of class TItemProperty) in document order.
class TItem : public TCommonNodeObject {
 public:
  TItem();
  ~TItem() override;

  std::string GetPropertyValue(const std::string& name, bool ignoreCase = false) const;
  std::string GetPropertyValueAt(int index) const;
  std::string GetPropertyNameAt(int index) const;
  int PropertyCount() const;
  TItem* FindItem(const std::string& name) const;
  TItem* ItemAt(int index) const;
  int ItemCount() const;
  // Takes the last child item named `name` out of Children. With destroy true it is destroyed;
  // otherwise it passes to the caller, who owns it from then on. Null when none matched.
  std::unique_ptr<TItem> RemoveItem(const std::string& name, bool destroy);

  // Appends an owned child (a TItem or a TItemProperty).
  void AddChild(std::unique_ptr<TItem> item);
  void AddChild(std::unique_ptr<TItemProperty> property);

  std::string Name;
  TStringList* Children = nullptr;  // owned; none for requests and responses

 protected:
  explicit TItem(WithoutLists tag) : TCommonNodeObject(tag) {}
};

// The request part of an envelope: answers every item operation as an empty item.
class TRequest : public TItem {
 public:
  TRequest() : TItem(WithoutLists{}) {}
  // Ordered by byte-wise key comparison; a repeated key replaces the value.
  std::map<std::string, std::string> Parameters;
};

class TResponse : public TRequest {};

class TUser : public TCommonNodeObject {
 public:
  std::string userId, loginName, password, loginType, userType, encryptedPassword;
};

class TService : public TCommonNodeObject {
 public:
  std::string handler, handleTime, action, replyCode, replyMsg, lastGetTime;
};

// One parsed envelope. Item, Request and Response may designate one and the same object; the
// bean destroys every distinct object it holds exactly once.
class TTavoCommonXmlBean : public TObject {
 public:
  explicit TTavoCommonXmlBean(bool withHead);
  ~TTavoCommonXmlBean() override;
  TTavoCommonXmlBean(const TTavoCommonXmlBean&) = delete;
  TTavoCommonXmlBean& operator=(const TTavoCommonXmlBean&) = delete;

  // Destroys the object in Response (unless another slot still holds it) and stores node,
  // which the bean owns from then on.
  void SetResponse(TItem* node);

  std::unique_ptr<TService> Service;
  std::unique_ptr<TUser> User;
  TItem* Item = nullptr;      // owned
  TItem* Request = nullptr;   // owned; a TRequest, or the item tree after parsing
  TItem* Response = nullptr;  // owned; a TResponse, or the item tree after parsing
  int64_t CreateTime = 0;
};

}  // namespace tavo
