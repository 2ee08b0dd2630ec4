// The owner of one libzint symbol.
#pragma once

#include <zint.h>

#include <memory>

namespace tavo::barcode {

struct ZintSymbolDelete {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using ZintSymbol = std::unique_ptr<zint_symbol, ZintSymbolDelete>;

}  // namespace tavo::barcode
