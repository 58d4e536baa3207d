// vistrel-osdtext: writes or clears one of the eight free text lines of a
// recorder instance's overlay text block "GPSOSDText<n>", or its custom text.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "telemetry/attach.h"
#include "tools/common/args.h"

namespace {

constexpr char kTool[] = "vistrel-osdtext";

const char kHelp[] =
    "Usage: vistrel-osdtext (--instance N | --block B) --line L --text TEXT [--x X] [--y Y]\n"
    "       vistrel-osdtext (--instance N | --block B) --line L --clear\n"
    "       vistrel-osdtext (--instance N | --block B) --custom TEXT\n"
    "       vistrel-osdtext (--instance N | --block B) --list\n"
    "\n"
    "Puts a line of text into the overlay of a running recorder.\n"
    "\n"
    "  --instance N  the recorder's instance number (the N of \"Halvorix - Vistrel N\")\n"
    "  --block B     the text block GPSOSDText<B> directly, 0 to 31\n"
    "  --line L      text line 0 to 7\n"
    "  --text TEXT   the text, at most 63 characters (longer text is cut)\n"
    "  --x X, --y Y  position in pixels from the left and top edge; negative values\n"
    "                count from the right and bottom edge (default 0, 0)\n"
    "  --clear       remove the line\n"
    "  --custom TEXT the text of the overlay item \"Custom\"\n"
    "  --list        print the frame size and the eight lines\n"
    "\n"
    "Exit codes: 0 done, 1 no such recorder or block, 2 bad arguments.\n";

}  // namespace

int main(int argc, char** argv) {
    int instance = -1, block = -1, line = -1;
    long long x = 0, y = 0;
    bool clear = false, list = false, haveText = false, haveCustom = false;
    std::string text, custom;
    tools::ArgReader args(argc, argv);
    while (!args.Done()) {
        std::string_view opt = args.Next();
        auto integer = [&](long long min, long long max, long long& out) {
            auto v = args.Value();
            auto n = v ? tools::ParseInteger(*v, min, max) : std::nullopt;
            if (!n) {
                tools::UsageError(kTool, std::string(opt) + " needs a whole number from " +
                                             std::to_string(min) + " to " + std::to_string(max));
                return false;
            }
            out = *n;
            return true;
        };
        long long n = 0;
        if (opt == "--help" || opt == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (opt == "--instance") {
            if (!integer(1, 2147483647, n))
                return 2;
            instance = static_cast<int>(n);
        } else if (opt == "--block") {
            if (!integer(0, telemetry::kOsdBlockCount - 1, n))
                return 2;
            block = static_cast<int>(n);
        } else if (opt == "--line") {
            if (!integer(0, telemetry::kOsdTextLines - 1, n))
                return 2;
            line = static_cast<int>(n);
        } else if (opt == "--x") {
            if (!integer(-32768, 32767, x))
                return 2;
        } else if (opt == "--y") {
            if (!integer(-32768, 32767, y))
                return 2;
        } else if (opt == "--text") {
            auto v = args.Value();
            if (!v)
                return tools::UsageError(kTool, "--text needs a text");
            text = std::string(*v);
            haveText = true;
        } else if (opt == "--custom") {
            auto v = args.Value();
            if (!v)
                return tools::UsageError(kTool, "--custom needs a text");
            custom = std::string(*v);
            haveCustom = true;
        } else if (opt == "--clear") {
            clear = true;
        } else if (opt == "--list") {
            list = true;
        } else {
            return tools::UsageError(kTool, "unknown option '" + std::string(opt) + "'");
        }
    }
    if ((instance < 0) == (block < 0))
        return tools::UsageError(kTool, "give one of --instance, --block");
    int actions = (haveText ? 1 : 0) + (clear ? 1 : 0) + (haveCustom ? 1 : 0) + (list ? 1 : 0);
    if (actions != 1)
        return tools::UsageError(kTool, "give one of --text, --clear, --custom, --list");
    if ((haveText || clear) && line < 0)
        return tools::UsageError(kTool, "--text and --clear need --line");

    int found = -1;
    telemetry::SharedBlock shared = telemetry::OpenOsdBlock(block, instance, &found);
    if (!shared.valid()) {
        if (block >= 0) {
            std::fprintf(stderr, "%s: no overlay text block GPSOSDText%d\n", kTool, block);
        } else {
            std::fprintf(stderr, "%s: no running recorder %d holds an overlay text block\n", kTool,
                         instance);
        }
        return 1;
    }
    telemetry::OverlaySettings& record = *shared.as<telemetry::OverlaySettings>();
    if (list) {
        telemetry::OverlaySettings copy;
        telemetry::SnapshotOsd(shared.bytes(), copy);
        std::printf("GPSOSDText%d: instance %d, %d users, frame %dx%d\n", found,
                    copy.InstanceNumber, copy.UserCount, copy.FrameWidth, copy.FrameHeight);
        for (int i = 0; i < telemetry::kOsdTextLines; ++i) {
            std::string_view t = telemetry::FieldText(copy.TextLines[i].Text);
            std::printf("line %d: x %d y %d \"%.*s\"\n", i, copy.TextLines[i].X,
                        copy.TextLines[i].Y, static_cast<int>(t.size()), t.data());
        }
        std::string_view c = telemetry::FieldText(copy.Custom);
        std::printf("custom: \"%.*s\"\n", static_cast<int>(c.size()), c.data());
        return 0;
    }
    if (haveCustom) {
        telemetry::CopyToField(record.Custom, sizeof(record.Custom), custom);
        return 0;
    }
    telemetry::OsdTextLine& target = record.TextLines[line];
    if (clear) {
        // The text first, so the filter never draws the line at a stale place.
        target.Text[0] = '\0';
        std::memset(&target, 0, sizeof(target));
        return 0;
    }
    // Empty the text while the position changes, then write it.
    target.Text[0] = '\0';
    target.X = static_cast<int16_t>(x);
    target.Y = static_cast<int16_t>(y);
    char buffer[telemetry::kOsdTextChars];
    telemetry::CopyToField(buffer, sizeof(buffer), text);
    std::memcpy(target.Text + 1, buffer + 1, sizeof(buffer) - 1);
    target.Text[0] = buffer[0];
    if (text.size() >= sizeof(buffer)) {
        std::fprintf(stderr, "%s: text cut to %zu characters\n", kTool, sizeof(buffer) - 1);
    }
    return 0;
}
