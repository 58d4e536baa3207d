// Resource identifiers of vistrel.exe (shared by the .rc file and the code).
#pragma once

#define IDD_MAIN_WINDOW 102
#define IDI_PROGRAM 105

// Control bar (app/ui/res/control_bar.rc): the skin strip is resource 103 of
// custom type 101; the bar's template is 104.
#define IDR_SKIN_IMAGE 103
#define RT_SKIN_IMAGE 101
#define IDD_CONTROL_BAR 104
