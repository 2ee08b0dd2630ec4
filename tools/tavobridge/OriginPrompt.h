// The question to a person about an origin neither allowed nor blocked.
#pragma once

#include <QString>

#include "bridge/BridgeServer.h"

namespace tavo::bridge {

// One small modal dialog naming the origin: "Allow once", "Always allow", "Block". Closing it
// refuses this connection only.
PromptAnswer AskAboutOrigin(const QString& origin);

}  // namespace tavo::bridge
