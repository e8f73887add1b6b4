#include "dialogs/zoombox.h"

#include "ui_dlg_20499.h"

CZoomBox::CZoomBox(CWnd* parent) : CDialog(IDD, parent), m_nPercent(100) {}

void CZoomBox::BuildDialog() { BuildForm<Ui::Dlg20499>(); }

void CZoomBox::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, 49171, m_nPercent);
  DDV_MinMaxUInt(dx, m_nPercent, kMinPercent, kMaxPercent);
}
