// The maker's constants: contact addresses and the about dialog's three further lines, in this one place.
// Plain defines, because the dialog template (res/aboutdialog.rc) takes the three lines from here too.
// The maker is fictional: its addresses lie in a domain reserved for examples.
#pragma once

#define TARN_MAKER_MAIL "tarn-support@ormand.example.org"
#define TARN_MAKER_WEB "https://www.ormand.example.org/tarn/"
// Shown in the multi-line information field, so its lines are separated by CR LF.
#define TARN_MAKER_POSTAL \
    "Ormand 软件工作室 (虚构)\r\n示例路 1 号, 信箱 42\r\n100000 示例市\r\n(本地址仅作示例, 请勿寄信)"
#define TARN_MAKER_LINE1 "Ormand 软件工作室 (虚构)"
#define TARN_MAKER_LINE2 "版权所有 (C) 2026"
#define TARN_MAKER_LINE3 "免费软件, 欢迎转发"
