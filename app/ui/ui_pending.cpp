// Placeholder until the settings dialog is written: it cannot be run. This
// file is replaced by the real one.
#include "app/ui/settings_dialog.h"

namespace vistrel {

INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

}  // namespace vistrel
