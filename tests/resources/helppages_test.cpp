// The help pages built into the program: every page of resources/help is
// there, every link and anchor leads somewhere, and the message page quotes
// the string table exactly.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

#include "platform/qtconvert.h"
#include "platform/resourcefile.h"
#include "platform/stringtable.h"
#include "resources/helppages.h"

namespace {

QString Page(const QString& name) {
  QFile file(BuiltInHelpPath(name));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(HelpPages, EveryPageIsBuiltInAndEveryLinkLeadsToAPageAndAnchor) {
  const QStringList sources =
      QDir(QStringLiteral(QUELT_TEST_SOURCE_DIR "/resources/help")).entryList({QStringLiteral("*.html")}, QDir::Files);
  QStringList built = QDir(QStringLiteral(":/help")).entryList(QDir::Files);
  ASSERT_FALSE(sources.isEmpty());
  EXPECT_EQ(QSet<QString>(sources.begin(), sources.end()), QSet<QString>(built.begin(), built.end()));
  EXPECT_TRUE(QFile::exists(BuiltInHelpPath()));

  int links = 0;
  static const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)(?:#([^\"]*))?\""));
  for (const QString& name : built) {
    SCOPED_TRACE(name.toStdString());
    const QString text = Page(name);
    EXPECT_TRUE(text.contains(QStringLiteral("<title>")));
    EXPECT_TRUE(text.contains(QStringLiteral("name=\"keywords\"")));
    for (const QRegularExpressionMatch& m : link.globalMatch(text)) {
      const QString target = m.captured(1).isEmpty() ? name : m.captured(1);
      const QString anchor = m.captured(2);
      SCOPED_TRACE(m.captured(0).toStdString());
      ASSERT_TRUE(built.contains(target));
      if (!anchor.isEmpty()) {
        EXPECT_TRUE(Page(target).contains(QStringLiteral("name=\"%1\"").arg(anchor)));
      }
      ++links;
    }
  }
  EXPECT_GE(links, 30);
}

// The listing and reading the demo installer copies the pages with: every
// page of the source folder, byte for byte as the help window shows it (the
// source wrapped in the shared head), and nothing for bad names.
TEST(HelpPages, ListingAndReadingGiveEveryPageAsTheHelpWindowHasIt) {
  const std::vector<std::string> listed = ListResourceFolder("help");
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
  const QStringList sources =
      QDir(QStringLiteral(QUELT_TEST_SOURCE_DIR "/resources/help")).entryList({QStringLiteral("*.html")}, QDir::Files);
  ASSERT_EQ(listed.size(), static_cast<size_t>(sources.size()));
  for (const std::string& name : listed) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(sources.contains(QString::fromStdString(name)));
    std::string bytes = "left over";
    ASSERT_TRUE(ReadResourceFile("help/" + name, 1 << 24, &bytes));
    EXPECT_EQ(bytes, Page(QString::fromStdString(name)).toStdString());
    if (!bytes.empty()) {
      EXPECT_FALSE(ReadResourceFile("help/" + name, bytes.size() - 1, &bytes)) << "over the limit";
      EXPECT_TRUE(bytes.empty());
    }
  }
  struct Case {
    const char* path;
  };
  for (const Case c : {Case{""}, Case{"help"}, Case{"help/no-such-page.html"}, Case{"no-such-folder/x"}}) {
    std::string bytes = "left over";
    EXPECT_FALSE(ReadResourceFile(c.path, 1 << 24, &bytes)) << c.path;
    EXPECT_TRUE(bytes.empty()) << c.path;
  }
  EXPECT_TRUE(ListResourceFolder("no-such-folder").empty());
  EXPECT_TRUE(ListResourceFolder("").empty());
}

TEST(HelpPages, MessagePageQuotesEveryMessageAsTheStringTableHasIt) {
  const QString text = Page(QStringLiteral("messages.html"));
  static const QRegularExpression row(QStringLiteral("<a name=\"m(\\d+)\"></a>([^<]*)</td>"));
  int rows = 0;
  for (const QRegularExpressionMatch& m : row.globalMatch(text)) {
    const unsigned id = m.captured(1).toUInt();
    SCOPED_TRACE(id);
    QString quoted = m.captured(2);
    quoted.replace(QStringLiteral("&quot;"), QStringLiteral("\"")).replace(QStringLiteral("&#x27;"), QStringLiteral("'"));
    quoted.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    quoted.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    ASSERT_TRUE(StringIdExists(id));
    EXPECT_EQ(quoted, ToQString(LoadStringById(id)));
    ++rows;
  }
  // Every message the session reports, and the ones the editor shows itself.
  for (const unsigned id : {4111u, 4112u, 4125u, 4127u, 4129u, 16390u, 16391u, 16392u, 16393u, 16394u, 16395u,
                            16396u, 16412u})
    EXPECT_TRUE(text.contains(QStringLiteral("name=\"m%1\"").arg(id))) << id;
  EXPECT_GE(rows, 40);
}

// A source page holds its keywords, title and body; the page built from it
// is one whole document: the shared head with the page's own keywords and
// title in it, the source's body unchanged, and the shared end.
TEST(HelpPages, EveryBuiltPageIsTheSourceInOneWholeDocument) {
  const QDir sourceDir(QStringLiteral(QUELT_TEST_SOURCE_DIR "/resources/help"));
  const QStringList sources = sourceDir.entryList({QStringLiteral("*.html")}, QDir::Files);
  ASSERT_FALSE(sources.isEmpty());
  for (const QString& name : sources) {
    SCOPED_TRACE(name.toStdString());
    QFile file(sourceDir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString source = QString::fromUtf8(file.readAll());
    const qsizetype titleEnd = source.indexOf(QStringLiteral("</title>\n"));
    ASSERT_GT(titleEnd, 0);
    const QString head = source.left(titleEnd + 9);
    const QString body = source.mid(titleEnd + 9);
    EXPECT_FALSE(source.contains(QStringLiteral("<html"))) << "the source repeats the shared head";
    const QString built = Page(name);
    EXPECT_EQ(built, QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n") + head +
                         QStringLiteral("</head>\n<body>\n") + body + QStringLiteral("</body>\n</html>\n"));
    EXPECT_EQ(built.count(QStringLiteral("<body>")), 1);
  }
}

// Opening a revision is an undoable change, not one that asks about unsaved
// changes first: every page that tells of it says so.
TEST(HelpPages, RevisionHistoryTellsThatOpeningIsUndoneByUndo) {
  for (const char* name : {"files.html", "dialogs.html"}) {
    SCOPED_TRACE(name);
    const QString text = Page(QString::fromLatin1(name));
    const qsizetype start = text.indexOf(QStringLiteral("name=\"history\""));
    ASSERT_GE(start, 0);
    qsizetype end = text.indexOf(QStringLiteral("<h2"), start);
    if (end < 0) end = text.size();
    const QString section = text.mid(start, end - start);
    EXPECT_TRUE(section.contains(QStringLiteral("Edit &gt; Undo")));
    EXPECT_FALSE(section.contains(QStringLiteral("asked about first")));
  }
}

}  // namespace
