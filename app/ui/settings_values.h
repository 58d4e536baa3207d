// What the settings dialog accepts in its text fields and how it turns them
// into settings: whole numbers, the time limit, frame rates and paths.
// Portable: no Windows calls, so every rule is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/path_rules.h"

namespace vistrel {

inline constexpr size_t kMaxPathText = 259;  // longest path a setting holds

// Why a field's text was not taken; kOk means the setting follows the text.
enum class FieldProblem {
    kOk,
    kNotANumber,    // a character that is not a digit (or, in a time, ':')
    kTooLarge,      // beyond what the setting can hold
    kTooManyParts,  // a time with more than hours, minutes and seconds
    kTooLong,       // a path over kMaxPathText characters
    kBadCharacter,  // a character no Windows path may contain
    kNotAFolder,    // the chosen item is a file, not a folder
    kNotWritable,   // the folder cannot be written to
    kNotAbsolute,   // no drive or share to make a full path of
    kNoFileName,    // a capture path without a file name after its folder
};

// Reads a "FileLimit" or "GBLimit" text: decimal digits with blanks around
// them; an empty text is 0 (no limit). On a problem `value` is untouched.
FieldProblem ReadWholeNumber(std::string_view text, uint32_t& value);

// The time limit read from its end as hours, minutes and seconds:
// "1:30:00" 5400, "5:00" 300, "90" 90, "" 0. Lenient, as the field has
// always been read: anything that is not a digit counts as 0.
uint32_t ParseTimeLimit(std::string_view text);
// The same reading for the dialog, which first refuses texts that would give
// a wrong limit (letters, more than three parts, a sum past 32 bits); on a
// problem `seconds` is untouched.
FieldProblem ReadTimeLimit(std::string_view text, uint32_t& seconds);
// "%d:%02d:%02d".
std::string FormatTimeLimit(uint32_t seconds);

// The decimal value of a frame-rate text ("29.97"); 0 when it is none.
double FrameRateValue(const char* text);
// The index of the entry of `list` (ended by an empty text, at most `count`
// entries) whose value equals `rate` exactly, or -1.
int FrameRateIndex(const char (*list)[8], size_t count, double rate);

// The field's answer for a path the recorder cannot use.
FieldProblem FieldProblemOf(PathCheck check);

// A path the settings may hold: at most kMaxPathText characters, none of
// < > " | ? * or control characters, ':' only after a drive letter.
FieldProblem CheckPathText(std::string_view path);
// What follows the last path separator ('\\' or '/'); the whole text when
// there is none.
std::string_view FileNamePart(std::string_view path);
// The folder part of a path (without its trailing separator), "" when the
// path has no separator; "C:\" stays "C:\".
std::string_view FolderPart(std::string_view path);
// The chosen folder joined with the kept file name, one separator between.
// Fails (kTooLong, kBadCharacter) rather than cut the path.
FieldProblem JoinCaptureFolder(std::string_view folder, std::string_view fileName,
                               std::string& joined);

// A combo box's notification that its selection changed (CBN_SELCHANGE).
inline constexpr int kSelectionChange = 1;
// Whether this notification of a settings dialog control changes what the
// capture graph is built from: the video device and input when their value
// changed (the lists also report focus changes, which alone must not stop a
// running recording), the format and rate on a selection change, and the
// overlay switch.
bool NeedsGraphRebuild(int controlId, int notification, bool valueChanged);

// The answer the dialog gives for a refused text; `field` names the field.
std::string ProblemText(FieldProblem problem, std::string_view field);

}  // namespace vistrel
