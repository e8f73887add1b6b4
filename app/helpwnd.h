// CHelpWindow: the help pages in a window of their own (a QTextBrowser),
// with Contents, Back and Forward, and a keyword search over the pages.
// The pages come from the installation's help folder; when it has none,
// from the copy built into the program.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;

class CHelpWindow : public QWidget {
 public:
  // indexPath: the installation's index page; when that file is missing
  // the built-in pages are used.
  explicit CHelpWindow(const QString& indexPath, QWidget* parent = nullptr);
  ~CHelpWindow() override;

  // Shows the contents, the page on using help, or the search (with the
  // keyword filled in and searched when not empty).
  void ShowContents();
  void ShowUsingHelp();
  void ShowSearch(const QString& keyword = QString());

  // The pages that hold the word (title, keywords or text; case ignored),
  // as file names sorted by title; empty for an empty word.
  QStringList Search(const QString& word) const;
  // The folder the pages come from ("qrc:/help" or a folder's URL).
  QString Source() const { return m_folder; }
  QTextBrowser* Browser() const { return m_browser; }
  QLineEdit* SearchField() const { return m_searchField; }
  QListWidget* Results() const { return m_results; }
  // The page shown now (a file name such as "index.html").
  QString CurrentPage() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Page {
    QString file;
    QString title;
    QString text;  // title, keywords and text, lower case
  };
  void LoadPages();
  void Open(const QString& file);
  void RunSearch();

  QString m_folder;  // file path or ":/help"
  QTextBrowser* m_browser = nullptr;
  QLineEdit* m_searchField = nullptr;
  QListWidget* m_results = nullptr;
  QWidget* m_searchPanel = nullptr;
  QToolButton* m_back = nullptr;
  QToolButton* m_forward = nullptr;
  std::vector<Page> m_pages;
};
