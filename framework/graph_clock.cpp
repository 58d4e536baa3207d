#include "framework/graph_clock.h"

#include <dshow.h>
#include <wrl/client.h>

namespace dshow {

void SettleGraphClock(IUnknown* graph, DWORD timeoutMs) {
    Microsoft::WRL::ComPtr<IMediaFilter> media;
    Microsoft::WRL::ComPtr<IReferenceClock> clock;
    if (!graph || FAILED(graph->QueryInterface(IID_PPV_ARGS(&media))) ||
        media->GetSyncSource(&clock) != S_OK || !clock)
        return;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!event)
        return;
    REFERENCE_TIME now = 0;
    DWORD_PTR cookie = 0;
    if (SUCCEEDED(clock->GetTime(&now)) &&
        SUCCEEDED(clock->AdviseTime(now, 10000, reinterpret_cast<HEVENT>(event), &cookie))) {
        WaitForSingleObject(event, timeoutMs);
        clock->Unadvise(cookie);
    }
    CloseHandle(event);
}

}  // namespace dshow
