// Owns one reference to a component object.
#pragma once

#include <utility>

#include "platform/com/Unknown.h"

namespace tavo {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Adds a reference of its own.
  explicit ComPtr(T* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  // Takes over a reference the caller owns.
  static ComPtr Attach(T* object) {
    ComPtr owner;
    owner.object_ = object;
    return owner;
  }
  ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Gives up the reference, e.g. to hand it out through an out parameter.
  T* Detach() { return std::exchange(object_, nullptr); }
  void Reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  // For an out parameter that receives a new reference: releases the current one first.
  T** Receive() {
    Reset();
    return &object_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  // Another interface of the same object; empty when the object does not offer it.
  template <typename U>
  ComPtr<U> As(const IID& iid) const {
    ComPtr<U> other;
    if (object_ != nullptr) object_->QueryInterface(iid, other.ReceiveVoid());
    return other;
  }

 private:
  T* object_ = nullptr;
};

}  // namespace tavo
