// The setup wizard's page templates and control ids (several ids repeat the main window's on purpose: the
// analysis, the sizing and the output-folder rule address the page's path, size, count and folder fields by them).
#pragma once

#define IDD_WIZARD_FILE 1112
#define IDD_WIZARD_SPLIT 1113
#define IDD_WIZARD_DESTINATION 1114
#define IDD_WIZARD_OPTIONS 1115

// Page 1: the file.
#define IDC_WIZ_CLOSE 1000
#define IDC_WIZ_CHOOSE_FILE 1001
#define IDC_WIZ_PATH 1002
#define IDC_WIZ_TITLE 3003

// Page 2: how to split. The nine preset buttons run from 1102 to 1110.
#define IDC_WIZ_PRESET_FIRST 1102
#define IDC_WIZ_PRESET_LAST 1110
#define IDC_WIZ_CUSTOM 1011
#define IDC_WIZ_BY_COUNT 1014
#define IDC_WIZ_SIZE 1007
#define IDC_WIZ_COUNT 1012

// Page 3: where the output goes.
#define IDC_WIZ_DESKTOP 1014
#define IDC_WIZ_BESIDE_SOURCE 1015
#define IDC_WIZ_DESKTOP_NAMED 1016
#define IDC_WIZ_CHOSEN_NAMED 1017
#define IDC_WIZ_CHOSEN 1018
#define IDC_WIZ_REMOVABLE 1012
#define IDC_WIZ_FOLDER 1004
#define IDC_WIZ_CHOOSE_FOLDER 1003

// Page 4: rebuild method and options.
#define IDC_WIZ_USE_TARN 1019
#define IDC_WIZ_USE_BATCH 1020
#define IDC_WIZ_CHECKSUM 1011
#define IDC_WIZ_ENCRYPT 1021
#define IDC_WIZ_DESCRIBE 1022
#define IDC_WIZ_KEY 1023
#define IDC_WIZ_DESCRIPTION 3002
#define IDC_WIZ_RECOVERY 1024
