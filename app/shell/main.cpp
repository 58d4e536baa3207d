// The process entry of vistrel.exe: COM, the command line, the main window as
// a modal dialog, and the shut-down order.
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <vector>

#include "app/capture/capture_graph.h"
#include "app/core/instances.h"
#include "app/shell/main_window.h"
#include "app/ui/control_bar.h"
#include "common/command_line.h"

namespace {

// Applies the command line's words in order; false when the instance it names
// is already running, so this start must end at once.
bool ReadCommandLine(std::vector<char>& line) {
    vistrel::CommandTokens tokens;
    vistrel::TokenizeCommandText(line.data(), tokens);
    for (int i = 0; i < tokens.count; ++i) {
        vistrel::StartupToken token = vistrel::ClassifyStartupToken(tokens[i]);
        switch (token.word) {
            case vistrel::StartupWord::kPreview:
                vistrel::SetPreviewOverride(vistrel::kPreviewOverrideOn);
                break;
            case vistrel::StartupWord::kNoPreview:
                vistrel::SetPreviewOverride(vistrel::kPreviewOverrideOff);
                break;
            case vistrel::StartupWord::kInstance:
                vistrel::SetInstanceNumber(token.instance);
                if (vistrel::InstanceWindowExists(token.instance))
                    return false;
                break;
            case vistrel::StartupWord::kIgnored:
                break;
        }
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    vistrel::SetProgramInstance(instance);
    if (FAILED(CoInitialize(nullptr)))
        return 1;

    const char* text = commandLine != nullptr ? commandLine : "";
    std::vector<char> line(text, text + std::strlen(text) + 1);
    if (!ReadCommandLine(line))
        return 0;  // that copy runs already: nothing else to do

    DialogBoxParamA(instance, MAKEINTRESOURCEA(vistrel::kMainWindowTemplate), nullptr,
                    vistrel::MainWindowProc, 0);

    std::vector<char>().swap(line);
    vistrel::FreeControlBarResources();
    vistrel::ReleaseGraphReferences();
    CoUninitialize();
    return 0;
}
