// The component runtime is one shared library, libtavocom.so, the stand-in for the system's
// OLE libraries: the host and every component module it loads share its per-thread error
// information and its string allocator. Its functions are exported whatever visibility the
// code that includes these headers is built with.
#pragma once

#define TAVO_COM_API __attribute__((visibility("default")))
