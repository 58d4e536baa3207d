// vistrel.exe and vistrel-send.exe as real processes in one Wine prefix: the
// window and its title, instance numbers, the settings written at exit,
// planted registry values, and the command words changing the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace {

using testsupport::ChildProcess;
using Bytes = std::vector<uint8_t>;

constexpr DWORD kStartMs = 20000;
constexpr DWORD kExitMs = 15000;

std::string Title(int n) {
    return "Halvorix - Vistrel " + std::to_string(n);
}
std::string KeyPath(int n) {
    return "Software\\Halvorix\\Vistrel" + std::to_string(n);
}

using testsupport::WaitUntil;

// The window gets its title early in its start-up and is shown at the end of
// it: a visible window has finished starting.
HWND WaitForWindow(int n, DWORD ms = kStartMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindWindowA(nullptr, Title(n).c_str());
            return found != nullptr && IsWindowVisible(found);
        },
        ms);
    return found;
}

int CountWindowsTitled(const std::string& title) {
    struct Search {
        std::string title;
        int count = 0;
    } search{title};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            char text[128] = {};
            GetWindowTextA(w, text, sizeof(text));
            if (s->title == text)
                ++s->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

int Send(const std::string& args, std::string* output = nullptr) {
    return testsupport::RunToExit("vistrel-send.exe", args, 20000, output);
}

RECT WindowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

bool SameRect(const RECT& r, LONG l, LONG t, LONG w, LONG h) {
    return r.left == l && r.top == t && r.right - r.left == w && r.bottom - r.top == h;
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

void DeleteKey(int n) {
    RegDeleteTreeA(HKEY_CURRENT_USER, KeyPath(n).c_str());
}

void Plant(int n, const char* name, DWORD type, const Bytes& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, KeyPath(n).c_str(), &key), ERROR_SUCCESS);
    // A zero right after a text would be counted in as its terminator.
    Bytes padded = data;
    padded.push_back(0xFF);
    RegSetValueExA(key, name, 0, type, padded.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

Bytes Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

Bytes Rect(int32_t l, int32_t t, int32_t w, int32_t h) {
    Bytes b;
    for (int32_t v : {l, t, w, h}) {
        Bytes p = Le32(uint32_t(v));
        b.insert(b.end(), p.begin(), p.end());
    }
    return b;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct Stored {
    bool present = false;
    DWORD type = 0;
    Bytes data;
};

Stored Read(int n, const char* name) {
    Stored s;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(n).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return s;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
        s.data.resize(size);
        if (RegQueryValueExA(key, name, nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS) {
            s.present = true;
            s.data.resize(size);
        }
    }
    RegCloseKey(key);
    return s;
}

uint32_t Dword(const Stored& s) {
    uint32_t v = 0;
    if (s.data.size() == 4)
        std::memcpy(&v, s.data.data(), 4);
    return v;
}

// One running recorder, ended on every path.
class Recorder {
  public:
    explicit Recorder(const std::string& args) : child_(ChildProcess::Start("vistrel.exe", args)) {}
    ChildProcess& process() { return child_; }
    // Sends "Exit" and waits; the exit code, or -1 when it did not end.
    int Exit(int n) {
        if (Send("--instance " + std::to_string(n) + " Exit") != 0)
            return -1;
        std::optional<DWORD> code = child_.Wait(kExitMs);
        return code ? static_cast<int>(*code) : -1;
    }

  private:
    ChildProcess child_;
};

TEST(RecorderProcess, InstanceNumbersAreUniqueAndTakenInOrder) {
    Recorder two("2");
    ASSERT_NE(WaitForWindow(2), nullptr);

    // A second start with a number already running ends at once, silently.
    Recorder again("2");
    std::optional<DWORD> code = again.process().Wait(kStartMs);
    ASSERT_TRUE(code) << "the second copy of 2 kept running";
    EXPECT_EQ(*code, 0u);
    EXPECT_EQ(CountWindowsTitled(Title(2)), 1);

    // With only 2 running, a start without a number takes 1 ...
    Recorder first("NOPREVIEW");
    ASSERT_NE(WaitForWindow(1), nullptr);
    // ... and with 1 and 2 running, the next one takes 3.
    Recorder third("PREVIEW");
    ASSERT_NE(WaitForWindow(3), nullptr);
    EXPECT_EQ(CountWindowsTitled(Title(1)), 1);

    // Which start-up words name an instance is ClassifyStartupToken's test.
    for (int n : {3, 1, 2})
        EXPECT_EQ((n == 3 ? third : n == 1 ? first : two).Exit(n), 0);
    // The start-up words changed the stored preview bit.
    EXPECT_EQ(Dword(Read(3, "Preview")) & 1, 1u);
    EXPECT_EQ(Dword(Read(1, "Preview")) & 1, 0u);
}

TEST(RecorderProcess, CommandWordsMoveSizeAndShowTheWindow) {
    DeleteKey(5);
    Recorder recorder("5");
    HWND w = WaitForWindow(5);
    ASSERT_NE(w, nullptr);
    const std::string to = "--instance 5 ";

    ASSERT_EQ(Send(to + "SetPos 50 60 400 300"), 0);
    EXPECT_TRUE(SameRect(WindowRect(w), 50, 60, 400, 300)) << Describe(WindowRect(w));
    ASSERT_EQ(Send(to + "setpos,70,80"), 0);  // missing size: the size stays
    EXPECT_TRUE(SameRect(WindowRect(w), 70, 80, 400, 300)) << Describe(WindowRect(w));
    ASSERT_EQ(Send(to + "SetPos"), 0);  // nothing given: nothing moves
    EXPECT_TRUE(SameRect(WindowRect(w), 70, 80, 400, 300)) << Describe(WindowRect(w));

    ASSERT_EQ(Send(to + "Minimize"), 0);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(w) != FALSE; }, 5000)) << "not minimized";
    ASSERT_EQ(Send(to + "Restore"), 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(w); }, 5000)) << "not restored";
    EXPECT_TRUE(SameRect(WindowRect(w), 70, 80, 400, 300)) << Describe(WindowRect(w));

    // Filling the screen is the scenario's check (key F); here the frame goes.
    ASSERT_EQ(Send(to + "FullScreen"), 0);
    EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_THICKFRAME);
    ASSERT_EQ(Send(to + "fullscreen"), 0);
    EXPECT_TRUE(SameRect(WindowRect(w), 70, 80, 400, 300)) << Describe(WindowRect(w));
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_THICKFRAME);

    ASSERT_EQ(recorder.Exit(5), 0);
    // The place stored is the last windowed one, not the full-screen one.
    EXPECT_EQ(Read(5, "WindowPosition").data, Rect(70, 80, 400, 300));
    EXPECT_EQ(Dword(Read(5, "Preview")) & 0x10, 0u);
}

// The title, the exit code, the count of stored values, a text where a number
// belongs and unknown flag bits are the recorder scenario's checks; which
// stored forms each setting refuses is the native settings table test's.
// Here what only the real registry does: a value filling its variable, one
// longer than it, a mistyped one written back in its own type, and an empty
// path through the process's path rules.
TEST(RecorderProcess, OddStoredValuesAreReadSafely) {
    DeleteKey(7);
    Plant(7, "CapFilename", REG_SZ, Bytes(260, 'C'));     // fills the variable, no zero
    Plant(7, "TVVideoDevice", REG_SZ, Bytes(4000, 'd'));  // longer than the variable
    Plant(7, "ACodec", REG_DWORD, Le32(0x004D4350));      // a number where a text belongs
    Plant(7, "Archive", REG_SZ, {});                      // no path: the default, made absolute
    Recorder recorder("7");
    HWND w = WaitForWindow(7);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(CountWindowsTitled(Title(7)), 1);
    ASSERT_EQ(recorder.Exit(7), 0);

    EXPECT_EQ(Read(7, "CapFilename").data, Text("C:\\Video\\Capture"));
    EXPECT_EQ(Read(7, "TVVideoDevice").data, Bytes{});
    Stored aCodec = Read(7, "ACodec");
    EXPECT_EQ(aCodec.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(aCodec.data, Text("PCM"));
    EXPECT_EQ(Read(7, "Archive").data, Text("C:\\Archive"));
}

TEST(RecorderProcess, CommandTextsOfAnyLengthAndBytesAreHarmless) {
    DeleteKey(9);
    Recorder recorder("9");
    HWND w = WaitForWindow(9);
    ASSERT_NE(w, nullptr);
    RECT before = WindowRect(w);
    auto copyData = [&](ULONG_PTR tag, const void* bytes, DWORD size) {
        COPYDATASTRUCT data{tag, size, const_cast<void*>(bytes)};
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_BLOCK,
                                   10000, &result) != 0;
    };
    std::vector<uint8_t> noise(200000);
    uint32_t x = 12345;
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
    EXPECT_TRUE(copyData(1, noise.data(), static_cast<DWORD>(noise.size())));
    EXPECT_TRUE(copyData(1, "", 0));
    EXPECT_TRUE(copyData(2, "Exit", 4));  // not a command text
    EXPECT_TRUE(copyData(1, "Recording", 9));
    std::string quotes(300, '"');
    EXPECT_TRUE(copyData(1, quotes.data(), static_cast<DWORD>(quotes.size())));
    std::string commas = "SetPos" + std::string(1000, ',');
    EXPECT_TRUE(copyData(1, commas.data(), static_cast<DWORD>(commas.size())));
    EXPECT_TRUE(copyData(1, "Minimize\0Exit", 13));
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(w) != FALSE; }, 5000))
        << "the word before the zero counts";
    EXPECT_TRUE(copyData(1, "Restore", 7));
    Sleep(1500);  // an Exit that slipped through would have closed it by now
    EXPECT_TRUE(recorder.process().Running());
    RECT after = WindowRect(w);
    EXPECT_TRUE(EqualRect(&before, &after)) << Describe(after);

    // vistrel-send refuses words the recorder would ignore, and says when
    // no such recorder runs.
    std::string out;
    EXPECT_EQ(Send("--instance 9 Recording", &out), 2);
    EXPECT_EQ(Send("--instance 4242 Exit", &out), 1);
    EXPECT_NE(out.find("Halvorix - Vistrel 4242"), std::string::npos) << out;

    ASSERT_EQ(recorder.Exit(9), 0);
}

TEST(RecorderProcess, StoredFlagsShapeTheWindowAtStart) {
    DeleteKey(12);
    // Start minimized, always on top, fixed frame, aspect lock; a place that
    // is clamped on load.
    Plant(12, "Preview", REG_DWORD, Le32(0x80 | 0x04 | 0x200 | 0x08));
    Plant(12, "WindowPosition", REG_BINARY, Rect(-50, -20, 10, 10));
    Recorder recorder("12");
    HWND w = WaitForWindow(12);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsIconic(w));
    EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_THICKFRAME);
    ASSERT_EQ(Send("--instance 12 Restore"), 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(w); }, 5000));
    EXPECT_TRUE(SameRect(WindowRect(w), 0, 0, 30, 30)) << Describe(WindowRect(w));
    // Leaving full screen keeps the fixed frame.
    ASSERT_EQ(Send("--instance 12 FullScreen"), 0);
    ASSERT_EQ(Send("--instance 12 FullScreen"), 0);
    EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(SameRect(WindowRect(w), 0, 0, 30, 30)) << Describe(WindowRect(w));
    ASSERT_EQ(recorder.Exit(12), 0);
    EXPECT_EQ(Dword(Read(12, "Preview")), 0x28Cu);
    EXPECT_EQ(Read(12, "WindowPosition").data, Rect(0, 0, 30, 30));
}

TEST(RecorderProcess, SessionEndKeepsTheSettingsAtOnce) {
    DeleteKey(11);
    Recorder recorder("11");
    HWND w = WaitForWindow(11);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(Send("--instance 11 SetPos 33 44 250 200"), 0);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &answer);
    EXPECT_NE(answer, 0u) << "the recorder must not refuse a logoff";
    SendMessageTimeoutA(w, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &answer);
    // The system may end the process now, without WM_DESTROY.
    EXPECT_EQ(Read(11, "WindowPosition").data, Rect(33, 44, 250, 200));
    recorder.process().Terminate();
}

TEST(RecorderProcess, ANumberClaimedByAStartingCopyIsSkipped) {
    // A copy that has settled on 1 but has no title yet holds this claim.
    HANDLE claim = CreateMutexA(nullptr, FALSE, "Local\\Halvorix.Vistrel.Instance1");
    ASSERT_NE(claim, nullptr);
    Recorder recorder("");
    HWND w = WaitForWindow(2);
    EXPECT_NE(w, nullptr) << "the claimed number 1 was taken again";
    EXPECT_EQ(FindWindowA(nullptr, Title(1).c_str()), nullptr);
    CloseHandle(claim);
    if (w != nullptr) {
        EXPECT_EQ(recorder.Exit(2), 0);
    }
}

class RecorderFolders : public ::testing::Test {
  protected:
    testsupport::TempDir dir_;
};

std::set<std::string> Names(const std::string& folder) {
    return testsupport::FileNames(folder + "\\*.avi");
}

// A first start records compressed when it can; a stored choice stays, even
// "uncompressed" (an empty name).
TEST(RecorderProcess, AFirstStartChoosesTheProjectsCompressor) {
    ASSERT_EQ(testsupport::Regsvr32("vistrel-mjpeg.dll", "/s"), 0);
    struct Unregister {
        ~Unregister() { testsupport::Regsvr32("vistrel-mjpeg.dll", "/u /s"); }
    } unregister;
    DeleteKey(12);
    {
        Recorder recorder("12 NOPREVIEW");
        ASSERT_NE(WaitForWindow(12), nullptr);
        ASSERT_EQ(recorder.Exit(12), 0);
    }
    EXPECT_EQ(Read(12, "VCodec").data, Text("Vistrel MJPEG Compressor"));

    DeleteKey(12);
    Plant(12, "VCodec", REG_SZ, Text(""));
    {
        Recorder recorder("12 NOPREVIEW");
        ASSERT_NE(WaitForWindow(12), nullptr);
        ASSERT_EQ(recorder.Exit(12), 0);
    }
    EXPECT_EQ(Read(12, "VCodec").data, Text(""));
}

// A recorder busy past the sender's wait still gets the word from its queue:
// the sender says so and counts it delivered, as the installer relies on.
TEST(RecorderProcess, ABusyRecorderGetsTheWordAndTheSenderCountsItDelivered) {
    static HWND window = nullptr;
    static std::atomic<bool> got{false};
    std::thread owner([] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m != WM_COPYDATA)
                return DefWindowProcA(w, m, wp, lp);
            Sleep(7000);  // past the sender's 5-s wait
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            got = std::string(static_cast<const char*>(data->lpData), data->cbData) == "Exit";
            return TRUE;
        };
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "BusyRecorder";
        RegisterClassA(&wc);
        window = CreateWindowA(wc.lpszClassName, Title(14).c_str(), WS_OVERLAPPED, 0, 0, 50, 50,
                               nullptr, nullptr, wc.hInstance, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    });
    ASSERT_TRUE(WaitUntil([] { return window != nullptr; }, 5000));
    std::string output;
    EXPECT_EQ(Send("--instance 14 Exit", &output), 0) << output;
    EXPECT_NE(output.find("busy"), std::string::npos) << output;
    EXPECT_TRUE(WaitUntil([] { return got.load(); }, 5000));
    PostMessageA(window, WM_QUIT, 0, 0);
    owner.join();
}

// Which files the limits and the archive take, and name clashes in the
// archive, are the recording files tests'; the Archive word is the recording
// scenario's. Here: Record applies the limits before it starts, key A archives.
TEST_F(RecorderFolders, RecordAppliesTheLimitsAndKeyAArchives) {
    DeleteKey(10);
    std::string capture = dir_.path() + "cam";
    std::string archive = dir_.path() + "saved";
    CreateDirectoryA(capture.c_str(), nullptr);
    const uint64_t base = testsupport::FileTimeNow() - uint64_t{36000} * 10000000;
    // 600 own segments, the newest last (more than one listing page of 512);
    // holiday.avi is the user's, Rear... another instance's in the same folder.
    constexpr int kOwn = 600;
    auto own = [](int i) {
        char name[64];
        std::snprintf(name, sizeof(name), "Front.2026-01-01.10.%02d.%02d.avi", i / 60, i % 60);
        return std::string(name);
    };
    for (int i = 1; i <= kOwn; ++i)
        ASSERT_TRUE(testsupport::MakeFile(capture + "\\" + own(i), base + uint64_t(i) * 10000000));
    ASSERT_TRUE(testsupport::MakeFile(capture + "\\holiday.avi", base));
    const std::string rear = "Rear.2026-01-01.09.00.00.avi";
    ASSERT_TRUE(testsupport::MakeFile(capture + "\\" + rear, base));
    Plant(10, "CapFilename", REG_SZ, Text(capture + "\\Front"));
    Plant(10, "Archive", REG_SZ, Text(archive));
    Plant(10, "FileLimit", REG_DWORD, Le32(kOwn - 2));

    Recorder recorder("10");
    HWND w = WaitForWindow(10);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(Send("--instance 10 Record"), 0);
    std::set<std::string> left = Names(capture);
    EXPECT_EQ(left.count("holiday.avi") + left.count(rear), 2u);
    EXPECT_EQ(left.count(own(1)) + left.count(own(2)), 0u) << "the two oldest go";
    EXPECT_EQ(left.count(own(3)) + left.count(own(kOwn)), 2u);
    EXPECT_GE(left.size(), size_t{kOwn - 2 + 2});

    PostMessageA(w, WM_KEYUP, 'A', 0);
    EXPECT_TRUE(WaitUntil([&] { return Names(archive).count(own(kOwn)) == 1; }, 5000));
    EXPECT_EQ(Names(capture).count("holiday.avi") + Names(capture).count(rear), 2u);
    ASSERT_EQ(recorder.Exit(10), 0);
}

}  // namespace
