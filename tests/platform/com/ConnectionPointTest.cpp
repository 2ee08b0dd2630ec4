#include "platform/com/ConnectionPoint.h"

#include <gtest/gtest.h>

#include "platform/com/Dispatch.h"

namespace tavo {
namespace {

constexpr IID kEventsIid{0x11111111, 0x2222, 0x3333, {4, 4, 5, 5, 6, 6, 7, 7}};

// An object offering one event interface, as a control does.
class EventSource final : public IConnectionPointContainer {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IConnectionPointContainer) {
      *object = static_cast<IConnectionPointContainer*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) override {
    if (iid != point_.SourceIid()) {
      *point = nullptr;
      return CONNECT_E_NOCONNECTION;
    }
    *point = &point_;
    point_.AddRef();
    return S_OK;
  }

  ULONG references = 1;

 private:
  ConnectionPoint point_{*this, kEventsIid};
};

// A host's event sink, answering the event interface or not.
class Sink final : public IUnknown {
 public:
  explicit Sink(bool answersEvents) : answersEvents_(answersEvents) {}
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (iid == IID_IUnknown || (answersEvents_ && iid == kEventsIid)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  ULONG references = 1;

 private:
  bool answersEvents_;
};

TEST(ConnectionPoint, KeepsSinksUntilTheyAreUnadvised) {
  EventSource source;
  Sink sink(true);
  {
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(source.FindConnectionPoint(kEventsIid, point.Receive()), S_OK);
    EXPECT_EQ(source.references, 2u) << "the point's references are its owner's";
    IID iid{};
    ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, kEventsIid);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(point->GetConnectionPointContainer(container.Receive()), S_OK);
    EXPECT_EQ(container.Get(), &source);

    DWORD first = 0, second = 0;
    ASSERT_EQ(point->Advise(&sink, &first), S_OK);
    ASSERT_EQ(point->Advise(&sink, &second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(sink.references, 3u);
    EXPECT_EQ(point->Unadvise(first), S_OK);
    EXPECT_EQ(point->Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(sink.references, 2u);
    EXPECT_EQ(point->Unadvise(second), S_OK);
  }
  EXPECT_EQ(sink.references, 1u);
  EXPECT_EQ(source.references, 1u);
}

TEST(ConnectionPoint, RefusesSinksWithoutTheEventInterface) {
  EventSource source;
  Sink stranger(false);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(source.FindConnectionPoint(kEventsIid, point.Receive()), S_OK);
  DWORD cookie = 99;
  EXPECT_EQ(point->Advise(&stranger, &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(stranger.references, 1u);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
  ComPtr<IConnectionPoint> other;
  EXPECT_EQ(source.FindConnectionPoint(IID_IDispatch, other.Receive()), CONNECT_E_NOCONNECTION);
}

}  // namespace
}  // namespace tavo
