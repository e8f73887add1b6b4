#include "platform/ccontrolbar.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QStatusBar>
#include <QToolBar>

#include "platform/cframewnd.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"

namespace {
constexpr int kMaxButtons = 100;
constexpr int kMaxPanes = 16;
constexpr int kMaxImageSide = 256;
}  // namespace

// ---- CToolBar ------------------------------------------------------------

CToolBar::~CToolBar() {
  if (m_frame != nullptr) m_frame->RemoveBar(this);
}

BOOL CToolBar::Create(CFrameWnd* parent, DWORD style, UINT id) {
  if (parent == nullptr || parent->Window() == nullptr || Widget() != nullptr) return FALSE;
  auto* bar = new QToolBar(parent->Window());
  bar->setObjectName(QStringLiteral("toolbar_%1").arg(id));
  bar->setWindowTitle(QStringLiteral("Toolbar"));
  const Qt::ToolBarArea area = (style & CBRS_ALIGN_BOTTOM) != 0  ? Qt::BottomToolBarArea
                               : (style & CBRS_ALIGN_LEFT) != 0  ? Qt::LeftToolBarArea
                               : (style & CBRS_ALIGN_RIGHT) != 0 ? Qt::RightToolBarArea
                                                                 : Qt::TopToolBarArea;
  parent->Window()->addToolBar(area, bar);
  bar->setVisible((style & WS_VISIBLE) != 0);
  bar->setAllowedAreas(area);
  bar->setMovable(false);
  m_style = style;
  m_frame = parent;
  Attach(bar);
  parent->AddBar(id, this);
  return TRUE;
}

QToolBar* CToolBar::ToolBar() const { return qobject_cast<QToolBar*>(Widget()); }

BOOL CToolBar::LoadBitmap(const char* path) {
  if (path == nullptr) return FALSE;
  QImage image(ToQString(path));
  if (image.isNull()) return FALSE;
  m_strip = image.convertToFormat(QImage::Format_ARGB32);
  // The grey the bitmaps are drawn on is the button's own face.
  const QRgb grey = qRgb(192, 192, 192);
  for (int y = 0; y < m_strip.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(m_strip.scanLine(y));
    for (int x = 0; x < m_strip.width(); ++x)
      if ((line[x] & 0x00FFFFFFu) == (grey & 0x00FFFFFFu)) line[x] = 0;
  }
  return TRUE;
}

void CToolBar::SetSizes(CSize button, CSize image) {
  if (button.cx > 0 && button.cy > 0 && button.cx <= kMaxImageSide && button.cy <= kMaxImageSide) m_buttonSize = button;
  if (image.cx > 0 && image.cy > 0 && image.cx <= kMaxImageSide && image.cy <= kMaxImageSide) m_imageSize = image;
  if (QToolBar* bar = ToolBar()) bar->setIconSize(QSize(m_imageSize.cx, m_imageSize.cy));
}

BOOL CToolBar::SetButtons(const UINT* ids, int count) {
  QToolBar* bar = ToolBar();
  if (bar == nullptr || m_frame == nullptr || count < 0 || count > kMaxButtons || (ids == nullptr && count > 0))
    return FALSE;
  bar->clear();
  m_images.clear();
  bar->setIconSize(QSize(m_imageSize.cx, m_imageSize.cy));
  const int available = m_strip.isNull() ? 0 : m_strip.width() / m_imageSize.cx;
  int image = 0;
  for (int i = 0; i < count; ++i) {
    if (ids[i] == ID_SEPARATOR) {
      bar->addSeparator();
      m_images.emplace_back();
      continue;
    }
    QAction* action = m_frame->GetCommandAction(ids[i]);
    QImage picture;
    if (image < available && m_strip.height() >= m_imageSize.cy)
      picture = m_strip.copy(image * m_imageSize.cx, 0, m_imageSize.cx, m_imageSize.cy);
    ++image;
    if (!picture.isNull()) action->setIcon(QIcon(QPixmap::fromImage(picture)));
    m_images.push_back(picture);
    bar->addAction(action);
    if (QWidget* button = bar->widgetForAction(action)) button->setMinimumSize(m_buttonSize.cx, m_buttonSize.cy);
  }
  return TRUE;
}

QImage CToolBar::ButtonImage(int index) const {
  return index >= 0 && index < static_cast<int>(m_images.size()) ? m_images[static_cast<size_t>(index)] : QImage();
}

void CToolBar::EnableDocking(DWORD alignment) {
  QToolBar* bar = ToolBar();
  if (bar == nullptr) return;
  Qt::ToolBarAreas areas;
  if (alignment & CBRS_ALIGN_TOP) areas |= Qt::TopToolBarArea;
  if (alignment & CBRS_ALIGN_BOTTOM) areas |= Qt::BottomToolBarArea;
  if (alignment & CBRS_ALIGN_LEFT) areas |= Qt::LeftToolBarArea;
  if (alignment & CBRS_ALIGN_RIGHT) areas |= Qt::RightToolBarArea;
  if (areas == Qt::ToolBarAreas()) return;
  bar->setAllowedAreas(areas);
  bar->setMovable(true);
}

// ---- CStatusBar ------------------------------------------------------------

CStatusBar::~CStatusBar() {
  if (m_frame != nullptr) m_frame->RemoveBar(this);
}

BOOL CStatusBar::Create(CFrameWnd* parent, DWORD style, UINT id) {
  if (parent == nullptr || parent->Window() == nullptr || Widget() != nullptr) return FALSE;
  auto* bar = new QStatusBar(parent->Window());
  bar->setObjectName(QStringLiteral("statusbar_%1").arg(id));
  parent->Window()->setStatusBar(bar);
  bar->setVisible((style & WS_VISIBLE) != 0);
  m_frame = parent;
  Attach(bar);
  parent->AddBar(id, this);
  return TRUE;
}

QStatusBar* CStatusBar::StatusBar() const { return qobject_cast<QStatusBar*>(Widget()); }

BOOL CStatusBar::SetIndicators(const UINT* ids, int count) {
  QStatusBar* bar = StatusBar();
  if (bar == nullptr || count < 1 || count > kMaxPanes || ids == nullptr || !m_panes.empty()) return FALSE;
  for (int i = 0; i < count; ++i) {
    auto* label = new QLabel(bar);
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(QStringLiteral("pane_%1").arg(i));
    const CString text = ids[i] == ID_SEPARATOR ? LoadStringById(AFX_IDS_IDLEMESSAGE) : LoadStringById(ids[i]);
    if (i == 0) {
      // The message pane takes what the indicators leave.
      bar->addWidget(label, 1);
    } else {
      label->setFrameShape(QFrame::Panel);
      label->setFrameShadow(QFrame::Sunken);
      label->setAlignment(Qt::AlignCenter);
      const int width = label->fontMetrics().horizontalAdvance(ToQString(text)) + 12;
      label->setMinimumWidth(width);
      bar->addPermanentWidget(label);
    }
    label->setText(ToQString(text));
    m_ids.push_back(ids[i]);
    m_panes.push_back(label);
    m_texts.push_back(text);
  }
  return TRUE;
}

UINT CStatusBar::GetItemID(int index) const {
  return index >= 0 && index < GetCount() ? m_ids[static_cast<size_t>(index)] : 0;
}

int CStatusBar::CommandToIndex(UINT id) const {
  for (int i = 0; i < GetCount(); ++i)
    if (m_ids[static_cast<size_t>(i)] == id) return i;
  return -1;
}

BOOL CStatusBar::SetPaneText(int index, const char* text) {
  if (index < 0 || index >= GetCount()) return FALSE;
  m_texts[static_cast<size_t>(index)] = text != nullptr ? text : "";
  if (QLabel* pane = m_panes[static_cast<size_t>(index)]) pane->setText(ToQString(m_texts[static_cast<size_t>(index)]));
  return TRUE;
}

CString CStatusBar::GetPaneText(int index) const {
  if (index < 0 || index >= GetCount()) return CString();
  const QLabel* pane = m_panes[static_cast<size_t>(index)];
  return pane != nullptr ? FromQString(pane->text()) : CString();
}

void CStatusBar::SetIndicatorOn(int index, bool on) {
  if (index <= 0 || index >= GetCount()) return;
  if (QLabel* pane = m_panes[static_cast<size_t>(index)])
    pane->setText(on ? ToQString(m_texts[static_cast<size_t>(index)]) : QString());
}
