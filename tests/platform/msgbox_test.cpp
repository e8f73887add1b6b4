#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "platform/cwnd.h"
#include "platform/msgbox.h"
#include "platform/scriptedmodalhost.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"

namespace {

constexpr UINT kNodeNotSelected = 4122;

class MessageBoxTest : public ::testing::Test {
 protected:
  ScriptedModalHost host;
  ScopedModalHost installed{&host};
};

}  // namespace

TEST_F(MessageBoxTest, ErrorBoxShowsTheTableTextSystemModalUnderTheErrorCaption) {
  QWidget ownerWidget;
  CWnd owner(&ownerWidget);
  EXPECT_EQ(ShowErrorMessage(kNodeNotSelected, &owner), IDOK);
  ASSERT_EQ(host.Messages().size(), 1u);
  const MessageRecord& m = host.Messages()[0];
  EXPECT_EQ(m.stringId, kNodeNotSelected);
  EXPECT_FALSE(m.text.IsEmpty());
  EXPECT_EQ(m.text, LoadStringById(kNodeNotSelected));
  EXPECT_EQ(m.caption, "Error");
  EXPECT_EQ(m.type & MB_TYPEMASK, MB_OK);
  EXPECT_EQ(m.type & MB_ICONMASK, MB_ICONWARNING);
  EXPECT_NE(m.type & MB_SYSTEMMODAL, 0u);
  EXPECT_EQ(m.owner.data(), &ownerWidget);
}

TEST_F(MessageBoxTest, ErrorBoxForAMissingIdShowsAnEmptyText) {
  ShowErrorMessage(999999, nullptr);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].stringId, 999999u);
  EXPECT_TRUE(host.Messages()[0].text.IsEmpty());
  EXPECT_EQ(host.Messages()[0].caption, "Error");
}

TEST_F(MessageBoxTest, ErrorBoxWithoutOwnerBelongsToTheActiveWindow) {
  QWidget active;
  active.show();
  QApplication::setActiveWindow(&active);
  ShowErrorMessage(kNodeNotSelected, nullptr);
  // An owner handle whose widget is gone means no owner at all.
  CWnd gone;
  {
    QWidget temporary;
    gone.Attach(&temporary);
  }
  ShowErrorMessage(kNodeNotSelected, &gone);
  ASSERT_EQ(host.Messages().size(), 2u);
  EXPECT_EQ(host.Messages()[0].owner.data(), QApplication::activeWindow());
  EXPECT_EQ(host.Messages()[0].owner.data(), &active);
  EXPECT_FALSE(host.Messages()[1].hadOwner);
}

TEST_F(MessageBoxTest, FrameworkPromptsAreCaptionedErrorToo) {
  QApplication::setApplicationDisplayName(QStringLiteral("quelt"));
  QWidget owner;
  MessageBoxText(7, "Enter a whole number between 10 and 1000.", MB_OK | MB_ICONEXCLAMATION, &owner);
  ASSERT_EQ(host.Messages().size(), 1u);
  const MessageRecord& m = host.Messages()[0];
  EXPECT_EQ(m.stringId, 7u);
  EXPECT_EQ(m.text, "Enter a whole number between 10 and 1000.");
  EXPECT_EQ(m.caption, "Error");
  EXPECT_EQ(m.owner.data(), &owner);
}

TEST_F(MessageBoxTest, PlainBoxHasTextCaptionOkAndNoOwner) {
  QWidget active;
  active.show();
  QApplication::setActiveWindow(&active);
  EXPECT_EQ(MessageBoxPlain("Memory allocation failed!\n", "ERROR"), IDOK);
  ASSERT_EQ(host.Messages().size(), 1u);
  const MessageRecord& m = host.Messages()[0];
  EXPECT_EQ(m.stringId, 0u);
  EXPECT_EQ(m.text, "Memory allocation failed!\n");
  EXPECT_EQ(m.caption, "ERROR");
  EXPECT_EQ(m.type, MB_OK);
  EXPECT_FALSE(m.hadOwner);
}

TEST_F(MessageBoxTest, ScriptedAnswersComeBackInOrderThenDefaults) {
  host.AnswerMessage(IDYES);
  EXPECT_EQ(MessageBoxPlain("Save?", "Confirm", MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(MessageBoxPlain("Save?", "Confirm", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxPlain("Sure?", "Confirm", MB_YESNO), IDNO);
  EXPECT_EQ(host.Messages().size(), 3u);
  EXPECT_EQ(host.Messages()[0].answer, IDYES);
}

TEST(ModalHostTest, ScopedHostIsRemovedAtTheEndOfItsScope) {
  ModalHost* production = &ModalHost::Current();
  {
    ScriptedModalHost outer;
    ScopedModalHost a(&outer);
    {
      ScriptedModalHost inner;
      ScopedModalHost b(&inner);
      EXPECT_EQ(&ModalHost::Current(), &inner);
    }
    EXPECT_EQ(&ModalHost::Current(), &outer);
  }
  EXPECT_EQ(&ModalHost::Current(), production);
}

TEST(WaitCursorTest, NestedGuardsRestoreOnlyTheirOwnCursor) {
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  {
    CWaitCursor outer;
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    {
      CWaitCursor inner;
      inner.Release();
      inner.Release();  // a second release pops nothing
      ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
      EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
  }
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(WindowHandleTest, HandleToADestroyedWidgetActsAsNone) {
  CWnd handle;
  EXPECT_EQ(handle.GetSafeHwnd(), nullptr);
  {
    QWidget widget;
    widget.resize(120, 80);
    handle.Attach(&widget);
    EXPECT_EQ(handle.GetSafeHwnd(), &widget);
    CRect client;
    handle.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 120, 80));
    handle.SetWindowText("Title");
    EXPECT_EQ(widget.windowTitle(), "Title");
    EXPECT_EQ(handle.GetWindowText(), "Title");
  }
  EXPECT_EQ(handle.GetSafeHwnd(), nullptr);
  EXPECT_FALSE(handle.IsWindow());
  CRect client(1, 2, 3, 4);
  handle.GetClientRect(&client);
  EXPECT_TRUE(client.IsRectNull());
  handle.Invalidate();
  handle.UpdateWindow();
  EXPECT_FALSE(handle.EnableWindow(TRUE));
  EXPECT_EQ(handle.GetDlgItem(1), nullptr);
}
