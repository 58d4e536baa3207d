// Wine's system clock starts its advise thread lazily, at the first
// AdviseTime, and a clock released before that thread first ran waits for it
// forever. Whoever lets a graph (and with it the clock) go after running it
// calls this first: it waits for one answered advise on the graph's clock.
#pragma once

#include <windows.h>

struct IUnknown;

namespace dshow {

// `graph`: any interface of a filter graph. Waits at most `timeoutMs`; does
// nothing when the graph has no clock.
void SettleGraphClock(IUnknown* graph, DWORD timeoutMs = 5000);

}  // namespace dshow
