// Reading a VARIANT whatever way it is passed; used inside the runtime only.
#pragma once

#include "platform/com/Variant.h"

namespace tavo {

// The value a by-reference value refers to, as a value that is not by reference (sharing its
// string or object, so it must not be cleared). A value that is not by reference is copied
// as it is. False for a null reference or a reference to a reference.
bool DereferenceVariant(const VARIANT& source, VARIANT& value);

}  // namespace tavo
