// The settings dialog: every control writes its setting the moment it reports
// a change, and closing saves them and tells the opener whether a change needs
// the graph built again. Main window thread only; the dialog is modal.
#include "app/ui/settings_dialog.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/capture/capture_graph.h"
#include "app/capture/device_names.h"
#include "app/capture/format_catalogue.h"
#include "app/ui/placement.h"
#include "app/ui/resource.h"
#include "app/core/settings.h"
#include "app/core/settings_store.h"
#include "app/core/path_rules.h"
#include "app/ui/device_lists.h"
#include "app/ui/settings_values.h"

namespace vistrel {
namespace {

// Whether a change since opening needs the capture graph built again. The
// dialog is modal and single, so one flag serves.
bool gGraphChanged = false;

struct FlagBox {
    int id;
    uint32_t bit;
};
constexpr FlagBox kFlagBoxes[] = {
    {IDC_SETTINGS_RECORD_PREVIEW, kFlagPreviewShown},
    {IDC_SETTINGS_START_RECORDING, kFlagStartRecording},
    {IDC_SETTINGS_ENABLE_GPS, kFlagOverlay},
    {IDC_SETTINGS_MULTI_FILE, kFlagMultiFile},
    {IDC_SETTINGS_START_MINIMIZED, kFlagStartMinimized},
    {IDC_SETTINGS_ALWAYS_ON_TOP, kFlagAlwaysOnTop},
    {IDC_SETTINGS_LOCK_ASPECT, kFlagLockAspect},
};

template <size_t N>
void CopyText(char (&target)[N], const std::string& text) {
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

// The control's text, at most `limit` characters.
std::string ItemText(HWND dialog, int id, int limit) {
    std::string text(static_cast<size_t>(limit) + 1, '\0');
    UINT n = GetDlgItemTextA(dialog, id, text.data(), limit + 1);
    text.resize(n);
    return text;
}

// The full text, so a path that is too long is seen as such, not cut.
std::string FullItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    int length = item ? GetWindowTextLengthA(item) : 0;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int n = item ? GetWindowTextA(item, text.data(), length + 1) : 0;
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

void AddListText(HWND list, const char* text) {
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void SelectIndex(HWND list, uint32_t index) {
    LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    if (count > 0 && index < static_cast<uint32_t>(count))
        SendMessageA(list, CB_SETCURSEL, index, 0);
}

// The answer for a refused text: a balloon at the field, and the caption
// while it stands, where the platform shows no balloons.
void ShowProblem(HWND dialog, int id, FieldProblem problem, const char* field) {
    HWND edit = GetDlgItem(dialog, id);
    if (problem == FieldProblem::kOk) {
        SendMessageA(edit, EM_HIDEBALLOONTIP, 0, 0);
        SetWindowTextA(dialog, "Settings");
        return;
    }
    std::string text = ProblemText(problem, field);
    std::wstring wide(text.begin(), text.end());  // the texts are ASCII
    std::wstring title(field, field + std::strlen(field));
    EDITBALLOONTIP tip = {sizeof tip, title.c_str(), wide.c_str(), TTI_WARNING};
    if (!SendMessageA(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip)))
        SetWindowTextA(dialog, ("Settings - " + text).c_str());
    else
        SetWindowTextA(dialog, "Settings");
}

void ShowNumbers(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_SETTINGS_TIME_LIMIT, FormatTimeLimit(gSettings.capSeconds).c_str());
    char text[16];
    std::snprintf(text, sizeof text, "%u", gSettings.fileLimit);
    SetDlgItemTextA(dialog, IDC_SETTINGS_FILE_LIMIT, text);
    std::snprintf(text, sizeof text, "%u", gSettings.gbLimit);
    SetDlgItemTextA(dialog, IDC_SETTINGS_GB_LIMIT, text);
    std::snprintf(text, sizeof text, "%u", gSettings.minFreeGB);
    SetDlgItemTextA(dialog, IDC_SETTINGS_MIN_FREE, text);
}

BOOL InitDialog(HWND dialog) {
    for (const FlagBox& box : kFlagBoxes)
        CheckDlgButton(dialog, box.id, (gVidFlags & box.bit) ? BST_CHECKED : BST_UNCHECKED);
    FillCodecLists(GetDlgItem(dialog, IDC_SETTINGS_VIDEO_CODEC),
                   GetDlgItem(dialog, IDC_SETTINGS_AUDIO_CODEC));
    // The edits hold what a setting can; longer texts cannot be typed.
    SendDlgItemMessageA(dialog, IDC_SETTINGS_CAPTURE_PATH, EM_LIMITTEXT, kMaxPathText, 0);
    SendDlgItemMessageA(dialog, IDC_SETTINGS_ARCHIVE_PATH, EM_LIMITTEXT, kMaxPathText, 0);
    SendDlgItemMessageA(dialog, IDC_SETTINGS_TIME_LIMIT, EM_LIMITTEXT, 63, 0);
    SendDlgItemMessageA(dialog, IDC_SETTINGS_FILE_LIMIT, EM_LIMITTEXT, 63, 0);
    SendDlgItemMessageA(dialog, IDC_SETTINGS_GB_LIMIT, EM_LIMITTEXT, 63, 0);
    SendDlgItemMessageA(dialog, IDC_SETTINGS_MIN_FREE, EM_LIMITTEXT, 63, 0);
    SetDlgItemTextA(dialog, IDC_SETTINGS_CAPTURE_PATH, gSettings.capFilename);
    SetDlgItemTextA(dialog, IDC_SETTINGS_ARCHIVE_PATH, gSettings.archive);
    ShowNumbers(dialog);

    HWND video = GetDlgItem(dialog, IDC_SETTINGS_VIDEO_DEVICE);
    AddListText(video, kNoDevice);
    FillDeviceList(DeviceKind::kVideo, video);
    HWND input = GetDlgItem(dialog, IDC_SETTINGS_VIDEO_INPUT);
    for (size_t i = 0; i < InputNames.kSlots && InputNames.At(i)[0] != '\0'; ++i)
        AddListText(input, InputNames.At(i));
    SelectIndex(input, gSettings.input);
    HWND audio = GetDlgItem(dialog, IDC_SETTINGS_AUDIO_DEVICE);
    AddListText(audio, kNoDevice);
    FillDeviceList(DeviceKind::kAudio, audio);

    HWND rates = GetDlgItem(dialog, IDC_SETTINGS_FRAME_RATE);
    constexpr size_t kRates = sizeof FrameRateList / sizeof FrameRateList[0];
    for (size_t i = 0; i < kRates && FrameRateList[i][0] != '\0'; ++i)
        AddListText(rates, FrameRateList[i]);
    int rate = FrameRateIndex(FrameRateList, kRates, gSettings.frameRate);
    if (rate >= 0)
        SendMessageA(rates, CB_SETCURSEL, static_cast<WPARAM>(rate), 0);

    HWND formats = GetDlgItem(dialog, IDC_SETTINGS_RESOLUTION);
    for (const FormatEntry& entry : Catalogue()) {
        if (entry.width == 0)
            break;
        AddListText(formats, FormatLabel(entry).c_str());
    }
    SelectIndex(formats, gSettings.resolution);

    gGraphChanged = false;
    return TRUE;
}

void ReadNumberField(HWND dialog, int id, uint32_t& setting, const char* field) {
    FieldProblem problem = ReadWholeNumber(ItemText(dialog, id, 63), setting);
    ShowProblem(dialog, id, problem, field);
}

void ReadTimeField(HWND dialog) {
    FieldProblem problem =
        ReadTimeLimit(ItemText(dialog, IDC_SETTINGS_TIME_LIMIT, 63), gSettings.capSeconds);
    ShowProblem(dialog, IDC_SETTINGS_TIME_LIMIT, problem, "Time Limit");
}

// While typing: only what is plainly wrong is shown; nothing is taken yet.
void CheckTypedPath(HWND dialog, int id, const char* field) {
    ShowProblem(dialog, id, CheckPathText(FullItemText(dialog, id)), field);
}

// A path takes effect only when the field is accepted (left, or the dialog
// closed): a half-typed "D:\V" must never become where the next segment goes
// or where the limits delete. Taken as the full path with backslashes that
// the recorder will use, and refused when its recordings' names would not
// fit. False when refused.
bool AcceptPathField(HWND dialog, int id) {
    bool capture = id == IDC_SETTINGS_CAPTURE_PATH;
    const char* field = capture ? "Video" : "Archive";
    std::string text = FullItemText(dialog, id);
    FieldProblem problem = CheckPathText(text);
    std::optional<std::string> path;
    if (problem == FieldProblem::kOk) {
        path = AbsolutePath(text);
        std::string_view stem = FileNamePart(gSettings.capFilename);
        PathCheck check = !path     ? PathCheck::kNotAbsolute
                          : capture ? CheckCapturePath(*path)
                                    : CheckArchivePath(*path, stem.size());
        problem = FieldProblemOf(check);
    }
    ShowProblem(dialog, id, problem, field);
    if (problem != FieldProblem::kOk)
        return false;
    if (capture)
        CopyText(gSettings.capFilename, *path);
    else
        CopyText(gSettings.archive, *path);
    if (*path != text)
        SetDlgItemTextA(dialog, id, path->c_str());
    return true;
}

// The nearest folder of `path` that exists (walking up past the ones the
// recorder would still create) can take a new file.
FieldProblem CheckFolderWritable(std::string folder) {
    while (!folder.empty()) {
        DWORD attributes = GetFileAttributesA(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return FieldProblem::kNotAFolder;
            std::string probe = folder;
            if (probe.back() != '\\' && probe.back() != '/')
                probe += '\\';
            probe += "vistrel-write-check.tmp";
            HANDLE file =
                CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                return GetLastError() == ERROR_FILE_EXISTS ? FieldProblem::kOk
                                                           : FieldProblem::kNotWritable;
            CloseHandle(file);
            return FieldProblem::kOk;
        }
        std::string parent(FolderPart(folder));
        if (parent == folder)
            break;
        folder = parent;
    }
    return FieldProblem::kOk;  // nothing of it exists yet: left to the recorder
}

// The system folder browser. The display name has a buffer of its own, and
// only a real file-system path is written into `path`.
bool BrowseForFolder(HWND owner, char (&path)[MAX_PATH], const char* title) {
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_BROWSEINCLUDEFILES;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (!item)
        return false;
    char chosen[MAX_PATH] = "";
    bool ok = SHGetPathFromIDListA(item, chosen) != FALSE;
    CoTaskMemFree(item);
    if (ok)
        std::memcpy(path, chosen, sizeof chosen);
    return ok;
}

// A chosen folder that is a folder and can be written to.
FieldProblem CheckChosenFolder(const char* folder) {
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FieldProblem::kNotAFolder;
    return CheckFolderWritable(folder);
}

void BrowseCaptureFolder(HWND dialog) {
    std::string fileName(FileNamePart(gSettings.capFilename));
    char folder[MAX_PATH];
    CopyText(folder, gSettings.capFilename);
    if (!BrowseForFolder(dialog, folder, "Select Capture Folder"))
        return;
    FieldProblem problem = CheckChosenFolder(folder);
    std::string joined;
    if (problem == FieldProblem::kOk)
        problem = JoinCaptureFolder(folder, fileName, joined);
    if (problem == FieldProblem::kOk) {
        SetDlgItemTextA(dialog, IDC_SETTINGS_CAPTURE_PATH, joined.c_str());
        AcceptPathField(dialog, IDC_SETTINGS_CAPTURE_PATH);
        return;
    }
    ShowProblem(dialog, IDC_SETTINGS_CAPTURE_PATH, problem, "Video");
}

void BrowseArchiveFolder(HWND dialog) {
    char folder[MAX_PATH];
    CopyText(folder, gSettings.archive);
    if (!BrowseForFolder(dialog, folder, "Select Archive Folder"))
        return;
    FieldProblem problem = CheckChosenFolder(folder);
    if (problem == FieldProblem::kOk)
        problem = CheckPathText(folder);
    if (problem == FieldProblem::kOk) {
        SetDlgItemTextA(dialog, IDC_SETTINGS_ARCHIVE_PATH, folder);
        AcceptPathField(dialog, IDC_SETTINGS_ARCHIVE_PATH);
        return;
    }
    ShowProblem(dialog, IDC_SETTINGS_ARCHIVE_PATH, problem, "Archive");
}

// A typed folder that cannot be written keeps the dialog open with the
// answer at its field, rather than leaving the recorder to fail later.
bool FoldersWritable(HWND dialog) {
    FieldProblem problem = CheckFolderWritable(std::string(FolderPart(gSettings.capFilename)));
    if (problem != FieldProblem::kOk) {
        ShowProblem(dialog, IDC_SETTINGS_CAPTURE_PATH, problem, "Video");
        return false;
    }
    if (gSettings.archive[0] != '\0') {
        problem = CheckFolderWritable(gSettings.archive);
        if (problem != FieldProblem::kOk) {
            ShowProblem(dialog, IDC_SETTINGS_ARCHIVE_PATH, problem, "Archive");
            return false;
        }
    }
    return true;
}

void CloseDialog(HWND dialog) {
    if (!AcceptPathField(dialog, IDC_SETTINGS_CAPTURE_PATH) ||
        !AcceptPathField(dialog, IDC_SETTINGS_ARCHIVE_PATH) || !FoldersWritable(dialog))
        return;
    SaveRegistrySettings();
    EndDialog(dialog, gGraphChanged ? kSettingsNeedNewGraph : 0);
}

// The selected entry's index, or the setting unchanged when none is.
void ReadSelection(HWND dialog, int id, uint32_t& setting) {
    LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR)
        setting = static_cast<uint32_t>(index);
}

void Command(HWND dialog, int id, int code) {
    static_assert(kSelectionChange == CBN_SELCHANGE);
    bool selectionChange = code == CBN_SELCHANGE;
    auto rebuildIf = [&](bool valueChanged) {
        if (NeedsGraphRebuild(id, code, valueChanged))
            gGraphChanged = true;
    };
    // The device and input lists decide below, once their value is read.
    if (id != IDC_SETTINGS_VIDEO_DEVICE && id != IDC_SETTINGS_VIDEO_INPUT)
        rebuildIf(true);
    switch (id) {
        case IDC_SETTINGS_VIDEO_DEVICE: {
            std::string before = gSettings.tvVideoDevice;
            CopyText(gSettings.tvVideoDevice, ItemText(dialog, id, 255));
            rebuildIf(before != gSettings.tvVideoDevice);
            return;
        }
        case IDC_SETTINGS_AUDIO_DEVICE:
            CopyText(gSettings.tvAudioDevice, ItemText(dialog, id, 255));
            return;
        case IDC_SETTINGS_VIDEO_INPUT: {
            uint32_t before = gSettings.input;
            ReadSelection(dialog, id, gSettings.input);
            rebuildIf(before != gSettings.input);
            return;
        }
        case IDC_SETTINGS_VIDEO_CODEC:
        case IDC_SETTINGS_AUDIO_CODEC:
            if (!selectionChange)
                return;
            if (id == IDC_SETTINGS_VIDEO_CODEC)
                CopyText(gSettings.vCodec, ItemText(dialog, id, 63));
            else
                CopyText(gSettings.aCodec, ItemText(dialog, id, 63));
            EnumerateCodecs();
            return;
        case IDC_SETTINGS_RESOLUTION:
            if (selectionChange)
                ReadSelection(dialog, id, gSettings.resolution);
            return;
        case IDC_SETTINGS_FRAME_RATE:
            if (selectionChange)
                gSettings.frameRate = FrameRateValue(ItemText(dialog, id, 14).c_str());
            return;
        case IDC_SETTINGS_CAPTURE_PATH:
        case IDC_SETTINGS_ARCHIVE_PATH:
            if (code == EN_KILLFOCUS)
                AcceptPathField(dialog, id);
            else if (code == EN_CHANGE)
                CheckTypedPath(dialog, id, id == IDC_SETTINGS_CAPTURE_PATH ? "Video" : "Archive");
            return;
        case IDC_SETTINGS_TIME_LIMIT:
            ReadTimeField(dialog);
            return;
        case IDC_SETTINGS_FILE_LIMIT:
            ReadNumberField(dialog, id, gSettings.fileLimit, "File Limit");
            return;
        case IDC_SETTINGS_GB_LIMIT:
            ReadNumberField(dialog, id, gSettings.gbLimit, "GB Limit");
            return;
        case IDC_SETTINGS_MIN_FREE:
            ReadNumberField(dialog, id, gSettings.minFreeGB, "Min Free GB");
            return;
        case IDC_SETTINGS_DEVICE_CONFIG:
            ShowPropertyPages(dialog, TargetVideoDevice);
            return;
        case IDC_SETTINGS_AUDIO_CONFIG:
            ShowPropertyPages(dialog, TargetAudioDevice);
            return;
        case IDC_SETTINGS_CODEC_CONFIG:
            ShowPropertyPages(dialog, TargetVideoCodec);
            return;
        case IDC_SETTINGS_AUDIO_CODEC_CONFIG:
            ShowPropertyPages(dialog, TargetAudioCodec);
            return;
        case IDC_SETTINGS_GPS_PAGE:
            ShowPropertyPages(dialog, TargetOverlay);
            return;
        case IDC_SETTINGS_BROWSE_CAPTURE:
            BrowseCaptureFolder(dialog);
            return;
        case IDC_SETTINGS_BROWSE_ARCHIVE:
            BrowseArchiveFolder(dialog);
            return;
        case IDOK:
        case IDCANCEL:
            CloseDialog(dialog);
            return;
        default:
            break;
    }
    for (const FlagBox& box : kFlagBoxes) {
        if (box.id != id)
            continue;
        // The bit follows the box, so it cannot drift from what is shown.
        bool checked = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
        gVidFlags = checked ? (gVidFlags | box.bit) : (gVidFlags & ~box.bit);
        if (box.bit == kFlagAlwaysOnTop)
            ApplyAlwaysOnTop(checked);
        return;
    }
}

}  // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return InitDialog(dialog);
        case WM_COMMAND:
            Command(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace vistrel
