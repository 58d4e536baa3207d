// Resource identifiers of vistrel-mjpeg.dll: the property page's template,
// its title and its controls.
#pragma once

#define IDD_MJPEG_PAGE 101
#define IDS_MJPEG_PAGE_TITLE 1

#define IDC_QUALITY_BAR 1001
#define IDC_QUALITY_VALUE 1002
#define IDC_CHROMA_420 1003
#define IDC_CHROMA_422 1004
#define IDC_LIBRARY 1005
