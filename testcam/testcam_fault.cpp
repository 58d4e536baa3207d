// testcam-fault: sets the test cameras' fault switch ("TestCameraFault") for
// a while, for scripts that check how a recorder copes with a camera that
// goes away. The switch lives while this program holds it.
//
//   testcam-fault <milliseconds>   set, hold, reset, exit 0
//
// Exit codes: 0 done, 1 the event could not be made, 2 bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "common/win_handle.h"
#include "testcam/testcam_ids.h"

int main(int argc, char** argv) {
    char* end = nullptr;
    long ms = argc == 2 ? std::strtol(argv[1], &end, 10) : -1;
    if (argc != 2 || !end || *end != '\0' || ms < 0) {
        std::fprintf(stderr, "Usage: testcam-fault <milliseconds>\n");
        return 2;
    }
    vistrel::UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, testcam::kFaultEventName));
    if (!event) {
        std::fprintf(stderr, "testcam-fault: cannot create the event (%lu)\n", GetLastError());
        return 1;
    }
    SetEvent(event.get());
    std::printf("fault set for %ld ms\n", ms);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(ms));
    ResetEvent(event.get());
    std::printf("fault cleared\n");
    return 0;
}
