// CDialog: a modal dialog on QDialog with the protocol the editor's dialogs
// follow.  The caller sets members, calls DoModal, and reads the members
// back after IDOK.  Controls are real Qt widgets addressed by numeric
// control ids: a subclass builds them in BuildDialog (the helpers below
// lay out a simple column) and registers each with its id.  Data exchange
// (DoDataExchange with the DDX_/DDV_ functions) moves members into the
// controls when the dialog opens and back when OK is pressed; a bad entry
// shows the framework's prompt and keeps the dialog open.
//
// A dialog may instead come from a Qt Designer form: BuildDialog sets the
// form up on GetDialog() and calls RegisterControlsByName, which registers
// every control whose object name is <kind>_<id> (edit_49153, button_1).
//
// Buttons with the ids IDOK and IDCANCEL call OnOK and OnCancel; Escape and
// the window's close button call OnCancel; Enter presses the default
// button.  Other buttons call what MapCommand gives them.  Every run goes
// through ModalHost::Current().
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

#include "platform/cwnd.h"
#include "platform/msgbox.h"
#include "resources/stringids.h"

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QCheckBox;

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class CDialog;

// The framework's own prompts, shown when data exchange refuses an entry.
inline constexpr UINT AFX_IDP_PARSE_INT = 0xF110;
inline constexpr UINT AFX_IDP_PARSE_REAL = 0xF113;
inline constexpr UINT AFX_IDP_PARSE_INT_RANGE = 0xF114;
inline constexpr UINT AFX_IDP_PARSE_STRING_SIZE = 0xF116;
inline constexpr UINT AFX_IDP_PARSE_UINT = 0xF119;

// One exchange between a dialog's members and its controls.
class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

  BOOL m_bSaveAndValidate;  // true: controls -> members, with checks
  CDialog* m_pDlgWnd;

  // The control with the id, remembered as the one a later DDV_ call and a
  // failure refer to; null (and the exchange failed) when there is none.
  QWidget* PrepareCtrl(int id);
  // Marks the exchange failed and puts the focus on the last prepared
  // control.  Later DDX_/DDV_ calls of the same exchange do nothing.
  void Fail();
  bool Failed() const { return m_failed; }
  QWidget* LastControl() const { return m_last; }

  // A refused number entry: fails the exchange and keeps the prompt, which
  // names the range minValue..maxValue, until the exchange ends, so that a
  // DDV_MinMax call that follows for the same control can narrow the range
  // it names.
  void RefuseNumber(UINT promptId, long long minValue, long long maxValue);
  // Narrows the range of a kept prompt for the last prepared control.
  bool NarrowRefusal(long long minValue, long long maxValue);
  // Shows the kept prompt, if any (once).  UpdateData calls it; the
  // destructor does it for an exchange that is not run through UpdateData.
  void ShowRefusal();
  ~CDataExchange();
  CDataExchange(const CDataExchange&) = delete;
  CDataExchange& operator=(const CDataExchange&) = delete;

 private:
  QWidget* m_last = nullptr;
  bool m_failed = false;
  struct Refusal {
    UINT promptId = 0;
    QWidget* control = nullptr;
    long long minValue = 0;
    long long maxValue = 0;
  };
  bool m_refused = false;
  bool m_narrowable = false;  // no other control was prepared since
  Refusal m_refusal;
};

// Text of an edit (or label) and a text member; numbers as decimal text.
// A text member comes back byte for byte when the user left it unchanged;
// a changed one is encoded as the member's bytes were decoded (UTF-8, or
// Latin-1 for bytes that are not UTF-8), and a character that encoding
// cannot hold is refused with a message, never replaced.
// Numbers take optional blanks around an optional sign and digits; an
// entry that is not such a number, or does not fit in 32 bits, shows the
// prompt and fails.  The prompt names the range allowed: that of a
// DDV_MinMax call right after, or else the whole 32-bit range.  long and unsigned long keep the 32-bit ranges the
// editor's values have.
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, long& value);
void DDX_Text(CDataExchange* dx, int id, unsigned int& value);
void DDX_Text(CDataExchange* dx, int id, unsigned long& value);
// The index of the checked button of the radio group that starts at id
// (-1: none checked).
void DDX_Radio(CDataExchange* dx, int id, int& value);
// A check box: 0 clear, 1 checked, 2 indeterminate.
void DDX_Check(CDataExchange* dx, int id, int& value);
// After DDX_Text of a text member: limits the edit to count characters,
// and refuses a longer text on saving.  A longer text the member brought
// in is shown whole (the limit grows to it), never cut unseen.
void DDV_MaxChars(CDataExchange* dx, const CString& value, int count);
// DDX_Text of a text member followed by DDV_MaxChars.
void DDX_TextMax(CDataExchange* dx, int id, CString& value, int count);
// After DDX_Text of a number: refuses a value outside min..max on saving.
void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue);
void DDV_MinMaxLong(CDataExchange* dx, long value, long minValue, long maxValue);
void DDV_MinMaxUInt(CDataExchange* dx, unsigned int value, unsigned int minValue, unsigned int maxValue);
void DDV_MinMaxULong(CDataExchange* dx, unsigned long value, unsigned long minValue, unsigned long maxValue);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  UINT GetTemplateId() const { return m_templateId; }
  CWnd* GetParent() const { return m_parent; }

  // Builds the dialog on first use, runs OnInitDialog and then the dialog
  // through the modal host.  Returns IDOK, IDCANCEL or what EndDialog got;
  // -1 when the dialog is already running.
  virtual int DoModal();
  // Fills the controls from the members.  Returns TRUE.
  virtual BOOL OnInitDialog();
  // Takes the controls into the members and closes with IDOK; stays open
  // when the exchange fails.
  virtual void OnOK();
  // Closes with IDCANCEL.
  virtual void OnCancel();
  void EndDialog(int result);
  // TRUE: controls -> members (with checks); FALSE: members -> controls.
  // Returns false when an entry was refused.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* dx);

  // The dialog widget, built on first call.
  QDialog* GetDialog();
  // True while DoModal runs.
  bool IsRunning() const { return m_running; }

  // --- Controls.
  // groupStart marks the first radio button of a group; the group runs to the
  // next group start or the next control that is not a radio button.
  void RegisterControl(int id, QWidget* control, bool groupStart = false);
  QWidget* GetControl(int id) const;
  CWnd* GetDlgItem(int id) const override;
  // Makes the button the one Enter presses.
  void SetDefaultButton(int id);
  int GetDefaultButton() const;
  // What a click on the button with the id does (for ids other than IDOK
  // and IDCANCEL, or to replace those).
  void MapCommand(int id, std::function<void()> handler);
  // The registered radio buttons of the group that starts at id.
  std::vector<QRadioButton*> RadioGroup(int id) const;

  // Registers, in creation order, every descendant widget of the dialog
  // whose object name is <kind>_<id> with kind made of letters and id a
  // positive number (edit_49153, button_1, radio_49164).  A radio button
  // starts a group when it is the first of its QButtonGroup, or, outside
  // any QButtonGroup, when the control before it is not a loose radio
  // button of the same parent.  The push button the form marks as default becomes
  // the default button.  Returns how many controls were registered.
  int RegisterControlsByName();

 protected:
  // Builds the controls; the default adds OK and Cancel.
  virtual void BuildDialog();
  // What the BuildDialog of a dialog made from a Qt Designer form does: sets
  // the form class (Ui::DlgNNN) up on the dialog and registers its controls.
  template <typename Form>
  void BuildForm() {
    Form form;
    form.setupUi(GetDialog());
    RegisterControlsByName();
  }
  static void SelectFirstEditText(QDialog* dialog);

  // Layout helpers: rows of a column, then a row of buttons at the bottom.
  void SetTitle(const char* title);
  QLabel* AddStatic(const char* text);
  QLineEdit* AddEdit(int id, const char* label = nullptr);
  QRadioButton* AddRadio(int id, const char* text, bool firstInGroup);
  QCheckBox* AddCheck(int id, const char* text);
  // Following rows go inside the group box until EndGroupBox.
  QGroupBox* BeginGroupBox(const char* title);
  void EndGroupBox();
  QPushButton* AddButton(int id, const char* text);
  // OK (the default) and Cancel.
  void AddOkCancel(const char* okText = "OK", const char* cancelText = "Cancel");

 private:
  class Widget;
  friend class Widget;
  struct Control {
    QPointer<QWidget> widget;
    bool groupStart = false;
  };
  void Build();
  void Clicked(int id);
  void EnsureLayout();
  QBoxLayout* Rows();

  UINT m_templateId;
  CWnd* m_parent;
  QPointer<QDialog> m_dialog;
  bool m_built = false;
  bool m_running = false;
  std::vector<std::pair<int, Control>> m_controls;  // in registration order
  std::map<int, std::function<void()>> m_commands;
  QBoxLayout* m_rows = nullptr;
  QBoxLayout* m_groupRows = nullptr;
  QBoxLayout* m_buttons = nullptr;
  QButtonGroup* m_radioGroup = nullptr;
};
