// tavoprint site: which sites may use the bridge, for the user or, with --machine, for every
// user of the machine together with the browsers' policies that let the site's pages reach it.
#pragma once

#include <string>
#include <vector>

namespace tavo::tool {

// `args` follow "site": allow|block|remove ORIGIN [--machine], list, apply|withdraw --machine.
// Answers the exit code; a ToolFailure for a usage error or a file that cannot be used.
int RunSite(std::vector<std::string> args);

}  // namespace tavo::tool
