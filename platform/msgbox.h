// Message boxes.  Every one goes through the ModalHost, so that tests see
// and answer them instead of a person.
#pragma once

#include "platform/cstring.h"
#include "platform/wintypes.h"
#include "resources/stringids.h"

class CWnd;
class QWidget;

// Buttons.
inline constexpr UINT MB_OK = 0x0000;
inline constexpr UINT MB_OKCANCEL = 0x0001;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;
inline constexpr UINT MB_YESNOCANCEL = 0x0003;
inline constexpr UINT MB_YESNO = 0x0004;
inline constexpr UINT MB_RETRYCANCEL = 0x0005;
inline constexpr UINT MB_TYPEMASK = 0x000F;
// Icons.
inline constexpr UINT MB_ICONHAND = 0x0010;
inline constexpr UINT MB_ICONERROR = MB_ICONHAND;
inline constexpr UINT MB_ICONQUESTION = 0x0020;
inline constexpr UINT MB_ICONEXCLAMATION = 0x0030;
inline constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr UINT MB_ICONASTERISK = 0x0040;
inline constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr UINT MB_ICONMASK = 0x00F0;
// Modality.
inline constexpr UINT MB_APPLMODAL = 0x0000;
inline constexpr UINT MB_SYSTEMMODAL = 0x1000;
inline constexpr UINT MB_TASKMODAL = 0x2000;

// Results (also the dialog results).
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// One message box to show.
struct MessageRequest {
  UINT stringId = 0;  // the string-table id of the text; 0 for a plain text
  CString text;
  CString caption;
  UINT type = MB_OK;
  QWidget* owner = nullptr;
};

// The error box: the string-table text of stringId in a system-modal
// warning box captioned with string 4141 ("Error"), with only OK.  The
// owner is the given window (none when it has no widget); without one, the
// active window.  A missing id shows an empty text.  Returns the button
// pressed (IDOK, the only one).
int ShowErrorMessage(UINT stringId, CWnd* owner);

// A plain box with the text and caption, no owner; type gives buttons and
// icon (MB_OK by default).  Returns the button pressed.
int MessageBoxPlain(const char* text, const char* caption, UINT type = MB_OK);

// A box showing a text the program made (the framework's own prompts),
// captioned "Error" like every other message, owned by owner (or none).
int MessageBoxText(UINT promptId, const CString& text, UINT type, QWidget* owner);
