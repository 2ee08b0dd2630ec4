// `tavoprint bridge`: which user's bridge serves this user's pages on the bridge's port, read
// from its /status as a page would (through the system's dispatcher where the package is
// installed, so the answer is the bridge of the user who asks).
#pragma once

#include <cstdint>

namespace tavo::tool {

// Prints one line about the bridge on 127.0.0.1:`port`; a ToolFailure with exit code 1 when
// none answers.
int ShowBridge(uint16_t port);

}  // namespace tavo::tool
