// The question to a person about an origin neither allowed nor blocked: a small window naming
// the origin, "Allow once", "Always allow", "Block" and "Not now". "Not now" holds the focus
// and is the default, so Return, space, Escape and the close box refuse this one connection
// and write nothing; the other buttons answer only to a click or Alt with their letter, and
// the two that allow stay disabled for the first second, so keys a page asked the person to
// type cannot answer for them.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "bridge/PromptQueue.h"

namespace tavo::bridge {

std::unique_ptr<ShownPrompt> ShowOriginPrompt(const QString& origin,
                                              std::function<void(PromptAnswer)> answered);

}  // namespace tavo::bridge
