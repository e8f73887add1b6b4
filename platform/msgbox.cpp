#include "platform/msgbox.h"

#include <QApplication>
#include <QWidget>

#include "platform/cwnd.h"
#include "platform/modalhost.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"

namespace {
// Every message of the editor is captioned the same way.
CString ErrorCaption() {
  CString caption = LoadStringById(IDS_ERROR_CAPTION);
  if (caption.IsEmpty()) caption = "Error";
  return caption;
}
}  // namespace

int ShowErrorMessage(UINT stringId, CWnd* owner) {
  MessageRequest request;
  request.stringId = stringId;
  request.text = LoadStringById(stringId);
  request.caption = ErrorCaption();
  request.type = MB_OK | MB_SYSTEMMODAL | MB_ICONWARNING;
  request.owner = owner != nullptr ? owner->GetSafeHwnd() : QApplication::activeWindow();
  return ModalHost::Current().ShowMessage(request);
}

int MessageBoxPlain(const char* text, const char* caption, UINT type) {
  MessageRequest request;
  request.text = text;
  request.caption = caption;
  request.type = type;
  return ModalHost::Current().ShowMessage(request);
}

int MessageBoxText(UINT promptId, const CString& text, UINT type, QWidget* owner) {
  MessageRequest request;
  request.stringId = promptId;
  request.text = text;
  request.caption = ErrorCaption();
  request.type = type;
  request.owner = owner;
  return ModalHost::Current().ShowMessage(request);
}
