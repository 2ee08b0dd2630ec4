#include "platform/core/Error.h"

// The error classes are header-only; this unit gives the core library its object file.
