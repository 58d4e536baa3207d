// Resource identifiers of orvant.dll: the property page's template, its
// title string and its controls.
#pragma once

#define IDD_OVERLAY_PAGE 101
#define IDS_OVERLAY_PAGE_TITLE 1

#define IDC_MODE_FIRST 1004  // 1004..1011: corner slots 0..7
#define IDC_FONT_LIST 1012
#define IDC_FONT_WIDTH 1013
#define IDC_FONT_HEIGHT 1014
#define IDC_FLIP 1015
#define IDC_MIRROR 1016
#define IDC_CUSTOM 1017
#define IDC_RED_VALUE 1018
#define IDC_GREEN_VALUE 1019
#define IDC_BLUE_VALUE 1020
#define IDC_RED_BAR 1021
#define IDC_GREEN_BAR 1022
#define IDC_BLUE_BAR 1023
#define IDC_STATUS 1024
#define IDC_AUTOMATIC 1025
