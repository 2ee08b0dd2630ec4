// Base64 for building inline picture texts in tests and fuzz inputs: the product's own encoder.
#pragma once

#include "platform/core/Base64.h"

namespace tavo::test {

using tavo::Base64Encode;

}  // namespace tavo::test
