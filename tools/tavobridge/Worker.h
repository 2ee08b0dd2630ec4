// tavobridge --worker: the host process of one page. It reads calls, one JSON object a line,
// from the bridge on its standard input (one end of a socket pair), makes them on its control
// object in the order they came, and writes each answer back under the call's number.
#pragma once

namespace tavo::bridge {

int RunWorker(int argc, char** argv);

}  // namespace tavo::bridge
