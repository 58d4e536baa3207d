// The command language other programs and five keys use to steer a running
// recorder: the word list, and turning a received text into one command.
// Portable: no Windows calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel {

// "Halvorix - Vistrel <n>": the title by which other programs find copy n.
std::string WindowTitleFor(int32_t instanceNumber);

// The instance number of a window whose title is exactly what WindowTitleFor
// gives for some positive number; nothing for any other title.
std::optional<int32_t> InstanceFromWindowTitle(std::string_view title);

// The dwData that marks a command text in WM_COPYDATA.
inline constexpr uintptr_t kCommandTextCopyData = 1;

// Position in CommandWords is the command index.
enum class CommandWord : int {
    kFullScreen = 0,
    kRecord,
    kStop,
    kPreview,
    kPreviewOn,
    kPreviewOff,
    kArchive,
    kExit,
    kMinimize,
    kMaximize,
    kRestore,
    kHide,
    kShow,
    kSetPos,
};

inline constexpr std::array<const char*, 14> CommandWords = {
    "FullScreen", "Record",   "Stop",     "Preview", "PreviewOn", "PreviewOff", "Archive",
    "Exit",       "Minimize", "Maximize", "Restore", "Hide",      "Show",       "SetPos",
};

// The word a token names, compared without regard to letter case.
std::optional<CommandWord> FindCommandWord(const char* token);

// At most this many bytes of a command text are looked at.
inline constexpr size_t kMaxCommandTextBytes = 255;

// The numbers after "SetPos"; a number that was not given stays empty.
struct SetPosArguments {
    std::optional<int32_t> x, y, width, height;
};

struct ParsedCommand {
    std::optional<CommandWord> word;
    SetPosArguments setPos;  // filled for kSetPos only
};

// Copies at most 255 bytes of `bytes` into a private zero-terminated buffer,
// tokenizes it and looks up the first token. Any bytes and any length are
// safe; a zero byte ends the text early.
ParsedCommand ParseCommandText(const void* bytes, size_t length);

struct WindowBox {
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool operator==(const WindowBox&) const = default;
};

// Where "SetPos" puts the window: each number that was given replaces the
// matching value of the current place, so missing numbers leave it alone.
WindowBox ResolveSetPos(const SetPosArguments& args, const WindowBox& current);

}  // namespace vistrel
