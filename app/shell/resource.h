// Resource identifiers of vistrel.exe (shared by the .rc file and the code).
#pragma once

#define IDD_MAIN_WINDOW 102
#define IDI_PROGRAM 105
