// Out of memory inside the plug-in, on request. The host points the
// plug-in's import of the C run-time's malloc, through which its operator
// new allocates, at a function that can refuse: the plug-in's C++ code then
// meets std::bad_alloc where it allocates, as in a mail client that has run
// out of address space. Every such exception must end inside the plug-in:
// on i686 one that reached a Win32 callback frame could not even unwind
// through the system's frames, and the mail client would be ended.
#pragma once

#include <windows.h>

namespace fromsel::testhost {

// Redirects `plugin`'s malloc import (once); false when it has none.
bool InterceptPluginAllocations(HMODULE plugin);

// The plug-in's `nth` allocation from here on fails, that one alone, as when
// a large block cannot be had while small ones still can (the C++ run time
// needs those to throw at all: with none to be had, the first std::bad_alloc
// of a process recurses until the stack overflows). 0: none fails.
void FailPluginAllocation(long nth);

// Allocations the plug-in asked for since the last FailPluginAllocation.
long PluginAllocations();
// Allocations refused so far.
long RefusedPluginAllocations();

}  // namespace fromsel::testhost
