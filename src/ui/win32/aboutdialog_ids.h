// Resource and control ids of the about dialog, shared by aboutdialog.rc and the dialog code (hence plain defines).
#pragma once

#define IDD_ABOUT 1025

#define IDC_ABOUT_OK 1
#define IDC_ABOUT_FOLDERS 3
#define IDC_ABOUT_MAIL 850
#define IDC_ABOUT_WEB 851
#define IDC_ABOUT_SEND_MAIL 1000
#define IDC_ABOUT_VISIT_WEB 1002
#define IDC_ABOUT_PAGES 1003
#define IDC_ABOUT_INFO 1015
