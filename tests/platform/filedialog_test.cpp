// The host's file dialogs: what the scripted dialog chooses comes back, and
// saving over a file asks first through the host's own message box.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/modalhost.h"
#include "platform/scriptedmodalhost.h"

namespace {

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    QFile existing(Path("old.deif"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("{}\n");
  }
  QString Path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }
  static FileDialogRequest Request(bool save) {
    FileDialogRequest request;
    request.save = save;
    request.title = save ? "Export to File" : "Import from File";
    request.filter = "Profile text (*.deif)";
    request.defaultSuffix = "deif";
    return request;
  }
  // Queues one file dialog that chooses name, or cancels for null.
  void Choose(const char* name) {
    const QString path = name != nullptr ? Path(name) : QString();
    host.ExpectDialog([path, this](DialogDriver& d) {
      filters = d.FileFilters();
      if (path.isEmpty())
        d.Dialog()->reject();
      else
        EXPECT_TRUE(d.ChooseFile(path));
    });
  }

  QTemporaryDir folder;
  ScriptedModalHost host;
  ScopedModalHost installed{&host};
  QStringList filters;
};

TEST_F(FileDialogTest, TheChosenFileComesBackAndACancelGivesNothing) {
  struct Case {
    bool save;
    const char* chosen;    // null: the dialog is cancelled
    const char* expected;  // null: nothing comes back
  };
  const Case cases[] = {
      {false, "old.deif", "old.deif"},
      {false, nullptr, nullptr},
      {true, "new.deif", "new.deif"},
      {true, "new", "new.deif"},  // the suffix is added to a saved name without one
      {true, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.save ? "save " : "open ") + (c.chosen ? c.chosen : "(cancel)"));
    host.Clear();
    Choose(c.chosen);
    const CString path = ModalHost::Current().AskForFile(Request(c.save));
    EXPECT_EQ(path.GetString(), c.expected ? QFile::encodeName(Path(c.expected)).toStdString() : std::string());
    EXPECT_EQ(filters, QStringList{QStringLiteral("Profile text (*.deif)")});
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(host.PendingScripts(), 0u);
  }
}

TEST_F(FileDialogTest, SavingOverAFileAsksAndNoGoesBackToTheDialog) {
  // No: the dialog comes again, and is cancelled there.
  Choose("old.deif");
  host.AnswerMessage(IDNO);
  Choose(nullptr);
  EXPECT_TRUE(ModalHost::Current().AskForFile(Request(true)).IsEmpty());
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_STREQ(host.Messages()[0].text.GetString(), "old.deif already exists.\nDo you want to replace it?");
  EXPECT_STREQ(host.Messages()[0].caption.GetString(), "Export to File");
  EXPECT_EQ(host.Messages()[0].type, MB_YESNO | MB_ICONWARNING);
  EXPECT_EQ(host.Dialogs().size(), 2u);

  // Yes: the existing file is the answer.
  host.Clear();
  Choose("old.deif");
  host.AnswerMessage(IDYES);
  EXPECT_EQ(std::string(ModalHost::Current().AskForFile(Request(true)).GetString()),
            QFile::encodeName(Path("old.deif")).toStdString());
  EXPECT_EQ(host.Messages().size(), 1u);

  // Opening an existing file asks nothing.
  host.Clear();
  Choose("old.deif");
  EXPECT_FALSE(ModalHost::Current().AskForFile(Request(false)).IsEmpty());
  EXPECT_TRUE(host.Messages().empty());
}

}  // namespace
