#include "platform/cwnd.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVariant>

#include "platform/qtconvert.h"

namespace {
const char kControlIdProperty[] = "queltControlId";
}

void SetControlId(QWidget* widget, int id) {
  if (widget == nullptr) return;
  widget->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* widget) {
  if (widget == nullptr) return 0;
  bool ok = false;
  const int id = widget->property(kControlIdProperty).toInt(&ok);
  return ok ? id : 0;
}

QWidget* FindControl(const QWidget* root, int id) {
  if (root == nullptr || id == 0) return nullptr;
  const QList<QWidget*> children = root->findChildren<QWidget*>();
  for (QWidget* child : children)
    if (ControlId(child) == id) return child;
  return nullptr;
}

CWnd::~CWnd() = default;

QWidget* CWnd::Detach() {
  QWidget* w = m_widget.data();
  m_widget = nullptr;
  m_children.clear();
  return w;
}

void CWnd::Invalidate(BOOL /*erase*/) {
  QWidget* w = m_widget.data();
  if (w == nullptr) return;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->update();
  w->update();
}

void CWnd::UpdateWindow() {
  QWidget* w = m_widget.data();
  if (w == nullptr || !w->isVisible()) return;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->repaint();
  w->repaint();
}

void CWnd::RedrawNow() {
  Invalidate(TRUE);
  UpdateWindow();
}

void CWnd::SetWindowText(const char* text) { SetWindowText(CString(text)); }

void CWnd::SetWindowText(const CString& text) {
  QWidget* w = m_widget.data();
  if (w == nullptr) return;
  const QString s = ToQString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(w))
    edit->setText(s);
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
    plain->setPlainText(s);
  else if (auto* rich = qobject_cast<QTextEdit*>(w))
    rich->setPlainText(s);
  else if (auto* label = qobject_cast<QLabel*>(w))
    label->setText(s);
  else if (auto* button = qobject_cast<QAbstractButton*>(w))
    button->setText(s);
  else
    w->setWindowTitle(s);
  RememberTextBytes(w, text);
}

namespace {

QString ShownText(const QWidget* w) {
  if (auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->text();
  if (auto* plain = qobject_cast<const QPlainTextEdit*>(w)) return plain->toPlainText();
  if (auto* rich = qobject_cast<const QTextEdit*>(w)) return rich->toPlainText();
  if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
  return w->windowTitle();
}

}  // namespace

BOOL CWnd::GetWindowTextBytes(CString* text) const {
  if (text == nullptr) return FALSE;
  const QWidget* w = m_widget.data();
  if (w == nullptr) {
    text->Empty();
    return TRUE;
  }
  return ControlTextBytes(w, ShownText(w), text) ? TRUE : FALSE;
}

CString CWnd::GetWindowText() const {
  CString text;
  if (GetWindowTextBytes(&text)) return text;
  return FromQString(ShownText(m_widget.data()));
}

void CWnd::GetClientRect(CRect* rect) const {
  if (rect == nullptr) return;
  const QWidget* w = m_widget.data();
  if (w == nullptr) {
    rect->SetRectEmpty();
    return;
  }
  if (auto* area = qobject_cast<const QAbstractScrollArea*>(w)) w = area->viewport();
  *rect = CRect(0, 0, w->width(), w->height());
}

void CWnd::SetFocus() {
  if (QWidget* w = m_widget.data()) w->setFocus(Qt::OtherFocusReason);
}

namespace {

using WidgetState = bool (QWidget::*)() const;

// Gives an on/off property of w (read by get, written by set) the value on
// and says whether it was on before.
bool SwapState(QWidget* w, WidgetState get, void (QWidget::*set)(bool), bool on) {
  const bool was = (w->*get)();
  (w->*set)(on);
  return was;
}

// Whether there is a widget and its property read by get is on.
BOOL StateOn(const QWidget* w, WidgetState get) { return w != nullptr && (w->*get)() ? TRUE : FALSE; }

}  // namespace

BOOL CWnd::EnableWindow(BOOL enable) {
  QWidget* w = m_widget.data();
  if (w == nullptr) return FALSE;
  // The answer is whether the window was disabled.
  return SwapState(w, &QWidget::isEnabled, &QWidget::setEnabled, enable != FALSE) ? FALSE : TRUE;
}

BOOL CWnd::IsWindowEnabled() const { return StateOn(m_widget.data(), &QWidget::isEnabled); }

BOOL CWnd::ShowWindow(int command) {
  QWidget* w = m_widget.data();
  if (w == nullptr) return FALSE;
  return SwapState(w, &QWidget::isVisible, &QWidget::setVisible, command != SW_HIDE) ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const { return StateOn(m_widget.data(), &QWidget::isVisible); }

CWnd* CWnd::HandleFor(QWidget* child) const {
  if (child == nullptr) return nullptr;
  // Forget handles whose widgets are gone before adding one.
  for (auto it = m_children.begin(); it != m_children.end();)
    it = it->second->Widget() == nullptr ? m_children.erase(it) : std::next(it);
  std::unique_ptr<CWnd>& slot = m_children[child];
  if (!slot) slot = std::make_unique<CWnd>(child);
  return slot.get();
}

CWnd* CWnd::GetDlgItem(int id) const { return HandleFor(FindControl(m_widget.data(), id)); }

CString CWnd::GetDlgItemText(int id) const {
  const CWnd* item = GetDlgItem(id);
  return item != nullptr ? item->GetWindowText() : CString();
}

void CWnd::SetDlgItemText(int id, const char* text) {
  if (CWnd* item = GetDlgItem(id)) item->SetWindowText(text);
}

CWnd* CWnd::GetActiveWindow() {
  static CWnd active;
  active.Attach(QApplication::activeWindow());
  return active.Widget() != nullptr ? &active : nullptr;
}
