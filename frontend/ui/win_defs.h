// Numbers the dialogs share with their templates and handlers: command and
// result ids, message-box flags, notification codes and message numbers.
#pragma once

#include <cstdint>

// Dialog results and the standard command ids.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDC_STATIC = -1;  // a control nobody addresses

// Message-box buttons (low nibble), icons and default button.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_RETRYCANCEL = 0x5;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_DEFBUTTON3 = 0x200;

// Command notification codes (the code half of a command).
constexpr int BN_CLICKED = 0;
constexpr int CBN_SELCHANGE = 1;
constexpr int CBN_DROPDOWN = 7;
constexpr int LBN_SELCHANGE = 1;
constexpr int LBN_DBLCLK = 2;
constexpr int EN_SETFOCUS = 0x100;
constexpr int EN_KILLFOCUS = 0x200;
constexpr int EN_CHANGE = 0x300;

// Notification codes of controls that notify their parent.
constexpr int NM_CLICK = -2;
constexpr int NM_DBLCLK = -3;
constexpr int NM_RCLICK = -5;
constexpr int NM_CUSTOMDRAW = -12;
constexpr int TVN_SELCHANGED = -402;
constexpr int TVN_ITEMEXPANDED = -406;
constexpr int TVN_KEYDOWN = -412;
constexpr int HDN_ITEMCHANGING = -300;
constexpr int HDN_ITEMCHANGED = -301;
constexpr int TCN_SELCHANGE = -551;

// First message numbers free for a program's own messages.
constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t WM_APP = 0x8000;
