// Outgoing (event) interfaces: a control offers a connection point per source interface
// through which hosts register their event sinks.
#pragma once

#include <map>

#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Unknown.h"

namespace tavo {

inline constexpr IID IID_IConnectionPointContainer{
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPoint{
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

class IConnectionPoint;
// Enumerators of connection points and connections; the runtime offers none (E_NOTIMPL).
class IEnumConnectionPoints;
class IEnumConnections;

class IConnectionPointContainer : public IUnknown {
 public:
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

class IConnectionPoint : public IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  virtual HRESULT Unadvise(DWORD cookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;

 protected:
  ~IConnectionPoint() = default;
};

// One connection point, a member of the object that offers it: its references count as the
// owner's, and the owner (which answers IConnectionPointContainer) outlives it.
class TAVO_COM_API ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IUnknown& owner, const IID& sourceIid) : owner_(owner), sourceIid_(sourceIid) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint() = default;

  HRESULT QueryInterface(const IID& iid, void** object) override;
  ULONG AddRef() override { return owner_.AddRef(); }
  ULONG Release() override { return owner_.Release(); }

  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  // Keeps a reference to the sink's source interface; CONNECT_E_CANNOTCONNECT when the sink
  // does not offer it.
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  // CONNECT_E_NOCONNECTION for a cookie that names no connection.
  HRESULT Unadvise(DWORD cookie) override;
  HRESULT EnumConnections(IEnumConnections** connections) override;

  const IID& SourceIid() const { return sourceIid_; }
  // The connected sinks by cookie, each as its source interface.
  const std::map<DWORD, ComPtr<IUnknown>>& Sinks() const { return sinks_; }

 private:
  IUnknown& owner_;
  IID sourceIid_;
  std::map<DWORD, ComPtr<IUnknown>> sinks_;
  DWORD nextCookie_ = 1;
};

}  // namespace tavo
