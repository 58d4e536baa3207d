// Reads and steers the recorder's open settings dialog from another process,
// as a user's tools could: lists what its lists and edits hold, picks an
// entry (the list then notifies its dialog as on a click), and tells where a
// control is on the screen for xdotool; picks an entry of a list in an open
// property page and presses the frame's OK; and tells whether a window is
// minimised, which X does not show without a window manager.
//
//   settings-probe list
//   settings-probe select <control id> <index>
//   settings-probe where <control id>
//   settings-probe page <control id> <index>
//   settings-probe iconic <window title>     (exit code 0 when minimised)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The caption may carry an answer after "Settings - ", so match its start.
BOOL CALLBACK MatchSettings(HWND window, LPARAM found) {
    char title[16] = "";
    char kind[16] = "";
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, kind, sizeof kind);
    if (std::strncmp(title, "Settings", 8) != 0 || (title[8] != '\0' && title[8] != ' ') ||
        std::strcmp(kind, "#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND FindSettings() {
    for (int i = 0; i < 50; ++i) {
        HWND dialog = nullptr;
        EnumWindows(MatchSettings, reinterpret_cast<LPARAM>(&dialog));
        if (dialog)
            return dialog;
        Sleep(100);
    }
    return nullptr;
}

// A property frame's title names its object around "Properties".
BOOL CALLBACK MatchFrame(HWND window, LPARAM found) {
    char title[128] = "";
    GetWindowTextA(window, title, sizeof title);
    if (std::strstr(title, "Properties") == nullptr || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

struct ControlSearch {
    int id;
    HWND found;
};

// The page's dialog sits some levels below the frame.
BOOL CALLBACK MatchControl(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<ControlSearch*>(search);
    char kind[16] = "";
    GetClassNameA(window, kind, sizeof kind);
    if (GetDlgCtrlID(window) != s->id || _stricmp(kind, "ComboBox") != 0)
        return TRUE;
    s->found = window;
    return FALSE;
}

int ChooseOnPage(int id, int index) {
    HWND frame = nullptr;
    for (int i = 0; i < 50 && !frame; ++i, Sleep(100))
        EnumWindows(MatchFrame, reinterpret_cast<LPARAM>(&frame));
    if (!frame)
        return 1;
    ControlSearch search{id, nullptr};
    EnumChildWindows(frame, MatchControl, reinterpret_cast<LPARAM>(&search));
    if (!search.found || SendMessageA(search.found, CB_SETCURSEL, index, 0) == CB_ERR)
        return 1;
    SendMessageA(GetParent(search.found), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(search.found));
    // Posted: the frame's modal loop ends with it, and nothing waits here.
    PostMessageA(frame, WM_COMMAND, IDOK, 0);
    return 0;
}

void ListCombo(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    LRESULT selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
    std::printf("list %d count %ld selected %ld\n", id, static_cast<long>(count),
                static_cast<long>(selected));
    for (LRESULT i = 0; i < count; ++i) {
        // Wide across processes: Wine hands the ANSI text back in UTF-16.
        LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, i, 0);
        if (length < 0 || length > 4096)
            continue;
        std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
        char text[8192] = "";
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
        std::printf("item %d %ld %s\n", id, static_cast<long>(i), text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::string command = argv[1];
    if (command == "iconic" && argc == 3) {
        HWND window = FindWindowA(nullptr, argv[2]);
        return window && IsIconic(window) ? 0 : 1;
    }
    if (command == "page" && argc == 4)
        return ChooseOnPage(std::atoi(argv[2]), std::atoi(argv[3]));
    HWND dialog = FindSettings();
    if (!dialog) {
        std::printf("no settings dialog\n");
        return 1;
    }
    if (command == "list") {
        for (int id : {1015, 1017, 1006, 1016, 1007, 106, 1013})
            ListCombo(dialog, id);
        char text[512];
        for (int id : {1000, 1001, 1021, 1023, 1024})
            std::printf("edit %d %s\n", id,
                        GetDlgItemTextA(dialog, id, text, sizeof text) ? text : "");
        for (int id : {40004, 1020, 1028, 1022, 1025, 40002, 40001})
            std::printf("check %d %u\n", id, IsDlgButtonChecked(dialog, id));
        RECT r;
        GetWindowRect(dialog, &r);
        std::printf("dialog %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (command == "select" && argc == 4) {
        int id = std::atoi(argv[2]);
        HWND list = GetDlgItem(dialog, id);
        if (SendMessageA(list, CB_SETCURSEL, std::atoi(argv[3]), 0) == CB_ERR)
            return 1;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        return 0;
    }
    if (command == "where" && argc == 3) {
        RECT r;
        if (!GetWindowRect(GetDlgItem(dialog, std::atoi(argv[2])), &r))
            return 1;
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    return 2;
}
