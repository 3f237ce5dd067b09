// Resource and control ids of the message dialog, shared by tarn.rc and the dialog code (hence plain defines).
#pragma once

#define IDD_MESSAGE 1005

#define IDI_PROGRAM 500
#define IDI_MESSAGE 501
#define IDI_PIECES 502

#define IDC_MESSAGE_DIVIDER 600
#define IDC_MESSAGE_LINE1 850
#define IDC_MESSAGE_LINE2 851
#define IDC_MESSAGE_LINE3 852
#define IDC_MESSAGE_LINE4 853
#define IDC_MESSAGE_CONTINUE 1
#define IDC_MESSAGE_CANCEL 2
#define IDC_MESSAGE_DESCRIPTION 1014

// Timer that closes the dialog by itself.
#define IDT_MESSAGE_AUTOCLOSE 2
