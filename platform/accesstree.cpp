#include "platform/accesstree.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

#include "platform/cview.h"
#include "platform/qtconvert.h"

namespace {

class TreeItemInterface;

// The window of a CScrollView that shows a tree.  Its one child is the
// current item.  The view is looked up afresh on every question, so an
// interface that outlives its view answers as an empty tree.
class TreeInterface : public QAccessibleWidget {
 public:
  explicit TreeInterface(QWidget* window) : QAccessibleWidget(window, QAccessible::Tree) {}
  ~TreeInterface() override;

  CScrollView* View() const { return CScrollView::FromWidget(widget()); }
  CAccessibleTree* Tree() const {
    CScrollView* view = View();
    return view != nullptr ? view->GetAccessibleTree() : nullptr;
  }
  bool HasFocus() const { return widget()->hasFocus(); }
  bool HasItem() const {
    CAccessibleTree* tree = Tree();
    return tree != nullptr && tree->HasCurrentItem();
  }

  int childCount() const override { return HasItem() ? 1 : 0; }
  QAccessibleInterface* child(int index) const override { return index == 0 && HasItem() ? Item() : nullptr; }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child == m_pItem && HasItem() ? 0 : -1;
  }
  QAccessibleInterface* focusChild() const override { return widget()->hasFocus() ? child(0) : nullptr; }
  QAccessibleInterface* childAt(int x, int y) const override;
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      CAccessibleTree* tree = Tree();
      return tree != nullptr ? ToQString(tree->TreeName()) : QString();
    }
    return QAccessibleWidget::text(t);
  }

 private:
  QAccessibleInterface* Item() const;

  mutable QAccessibleInterface* m_pItem = nullptr;
  mutable QAccessible::Id m_nItemId = 0;
};

// The current item: the selected node as the tree describes it.
class TreeItemInterface : public QAccessibleInterface {
 public:
  explicit TreeItemInterface(const TreeInterface* tree) : m_pTree(tree) {}

  bool isValid() const override { return m_pTree->isValid() && m_pTree->HasItem(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return m_pTree->window(); }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return const_cast<TreeInterface*>(m_pTree); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !m_pTree->HasItem()) return QString();
    return ToQString(m_pTree->Tree()->CurrentItemText());
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    CScrollView* view = m_pTree->View();
    CRect box;
    if (view == nullptr || view->Viewport() == nullptr || !m_pTree->HasItem() ||
        !m_pTree->Tree()->CurrentItemRect(&box))
      return QRect();
    const QRect client = ToQRect(box);
    return QRect(view->Viewport()->mapToGlobal(client.topLeft()), client.size());
  }
  QAccessible::Role role() const override { return QAccessible::TreeItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!m_pTree->HasItem()) {
      s.invalid = true;
      return s;
    }
    CAccessibleTree* tree = m_pTree->Tree();
    s.focusable = true;
    s.selectable = true;
    s.selected = true;
    s.focused = m_pTree->HasFocus();
    if (tree->CurrentItemHasChildren()) {
      s.expandable = true;
      s.expanded = tree->CurrentItemExpanded();
      s.collapsed = !s.expanded;
    }
    return s;
  }

 private:
  const TreeInterface* m_pTree;
};

TreeInterface::~TreeInterface() {
  if (m_nItemId != 0) QAccessible::deleteAccessibleInterface(m_nItemId);
}

QAccessibleInterface* TreeInterface::Item() const {
  if (m_pItem == nullptr) {
    m_pItem = new TreeItemInterface(this);
    m_nItemId = QAccessible::registerAccessibleInterface(m_pItem);
  }
  return m_pItem;
}

QAccessibleInterface* TreeInterface::childAt(int x, int y) const {
  QAccessibleInterface* item = child(0);
  return item != nullptr && item->rect().contains(x, y) ? item : nullptr;
}

// The scroll area has no meta-object of its own; the factories are asked
// last-installed first, so this one answers before Qt's own.
QAccessibleInterface* TreeFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QAbstractScrollArea") || object == nullptr || !object->isWidgetType())
    return nullptr;
  QWidget* window = static_cast<QWidget*>(object);
  CScrollView* view = CScrollView::FromWidget(window);
  if (view == nullptr || view->GetAccessibleTree() == nullptr) return nullptr;
  return new TreeInterface(window);
}

}  // namespace

void InstallAccessibleTreeFactory() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(&TreeFactory);
}

namespace {
AccessibleEventSink g_sink = nullptr;
}  // namespace

void SetAccessibleEventSink(AccessibleEventSink sink) { g_sink = sink; }

void NotifyAccessibleTreeFocus(QWidget* window) {
  if (window == nullptr || (g_sink == nullptr && !QAccessible::isActive())) return;
  QAccessibleEvent event(window, QAccessible::Focus);
  event.setChild(0);
  if (g_sink != nullptr) g_sink(&event);
  QAccessible::updateAccessibility(&event);
}

void NotifyAccessibleNameChanged(QWidget* widget) {
  if (widget == nullptr || (g_sink == nullptr && !QAccessible::isActive())) return;
  QAccessibleEvent event(widget, QAccessible::NameChanged);
  if (g_sink != nullptr) g_sink(&event);
  QAccessible::updateAccessibility(&event);
}
