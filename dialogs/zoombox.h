// CZoomBox: asks for the view's magnification in percent, 10 to 1000.
#pragma once

#include "platform/cdialog.h"

class CZoomBox : public CDialog {
 public:
  enum { IDD = 20499 };
  explicit CZoomBox(CWnd* parent = nullptr);

  unsigned int m_nPercent;  // edit 49171, 10 to 1000

  static constexpr unsigned int kMinPercent = 10;
  static constexpr unsigned int kMaxPercent = 1000;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
