#include "app/helpwnd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "resources/helppages.h"

namespace {
// Limits on what is read from an installation's help folder.
constexpr int kMaxPages = 500;
constexpr qint64 kMaxPageBytes = 1 << 20;

QString PlainText(const QString& html) {
  QTextDocument doc;
  doc.setHtml(html);
  return doc.toPlainText();
}
}  // namespace

CHelpWindow::CHelpWindow(const QString& indexPath, QWidget* parent) : QWidget(parent, Qt::Window) {
  const QFileInfo index(indexPath);
  m_folder = index.isFile() ? index.absolutePath() : QFileInfo(BuiltInHelpPath()).path();
  setWindowTitle(tr("Quelt Help"));
  setObjectName(QStringLiteral("helpWindow"));
  resize(760, 560);

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto* contents = new QToolButton(this);
  contents->setText(tr("&Contents"));
  m_back = new QToolButton(this);
  m_back->setText(tr("&Back"));
  m_back->setToolTip(tr("Back (Alt+Left, Backspace)"));
  m_forward = new QToolButton(this);
  m_forward->setText(tr("&Forward"));
  m_forward->setToolTip(tr("Forward (Alt+Right)"));
  auto* searchButton = new QToolButton(this);
  searchButton->setText(tr("&Search"));
  bar->addWidget(contents);
  bar->addWidget(m_back);
  bar->addWidget(m_forward);
  bar->addWidget(searchButton);
  bar->addStretch();
  layout->addLayout(bar);

  auto* splitter = new QSplitter(this);
  m_searchPanel = new QWidget(splitter);
  auto* searchLayout = new QVBoxLayout(m_searchPanel);
  searchLayout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(tr("&Word to find:"), m_searchPanel);
  m_searchField = new QLineEdit(m_searchPanel);
  m_searchField->setMaxLength(256);
  m_searchField->setObjectName(QStringLiteral("helpSearch"));
  label->setBuddy(m_searchField);
  m_results = new QListWidget(m_searchPanel);
  m_results->setObjectName(QStringLiteral("helpResults"));
  searchLayout->addWidget(label);
  searchLayout->addWidget(m_searchField);
  searchLayout->addWidget(m_results);
  m_browser = new QTextBrowser(splitter);
  m_browser->setOpenLinks(true);
  m_browser->setOpenExternalLinks(false);
  m_browser->setSearchPaths({m_folder});
  splitter->addWidget(m_searchPanel);
  splitter->addWidget(m_browser);
  splitter->setStretchFactor(1, 3);
  layout->addWidget(splitter);
  m_searchPanel->hide();

  connect(contents, &QToolButton::clicked, this, [this] { ShowContents(); });
  connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
  connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
  connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
  connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
  connect(searchButton, &QToolButton::clicked, this, [this] { ShowSearch(m_searchField->text()); });
  connect(m_searchField, &QLineEdit::textChanged, this, [this] { RunSearch(); });
  connect(m_searchField, &QLineEdit::returnPressed, this, [this] {
    if (m_results->count() > 0) {
      m_results->setCurrentRow(0);
      m_results->setFocus();
    }
  });
  auto openResult = [this](QListWidgetItem* item) {
    if (item != nullptr) Open(item->data(Qt::UserRole).toString());
  };
  connect(m_results, &QListWidget::itemActivated, this, openResult);
  connect(m_results, &QListWidget::itemClicked, this, openResult);
  m_back->setEnabled(false);
  m_forward->setEnabled(false);
  m_browser->installEventFilter(this);
  LoadPages();
}

CHelpWindow::~CHelpWindow() = default;

void CHelpWindow::LoadPages() {
  QDir dir(m_folder);
  QStringList files = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
  if (files.size() > kMaxPages) files = files.mid(0, kMaxPages);
  static const QRegularExpression titleRe(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression keywordsRe(QStringLiteral("<meta\\s+name=\"keywords\"\\s+content=\"([^\"]*)\""),
                                             QRegularExpression::CaseInsensitiveOption);
  for (const QString& file : files) {
    QFile f(dir.filePath(file));
    if (f.size() > kMaxPageBytes || !f.open(QIODevice::ReadOnly)) continue;
    const QString html = QString::fromUtf8(f.read(kMaxPageBytes));
    Page page;
    page.file = file;
    const auto title = titleRe.match(html);
    page.title = title.hasMatch() ? title.captured(1).trimmed() : file;
    const auto keywords = keywordsRe.match(html);
    page.text = (page.title + QLatin1Char(' ') + (keywords.hasMatch() ? keywords.captured(1) : QString()) +
                 QLatin1Char(' ') + PlainText(html))
                    .toLower();
    m_pages.push_back(std::move(page));
  }
  std::sort(m_pages.begin(), m_pages.end(), [](const Page& a, const Page& b) {
    return QString::localeAwareCompare(a.title, b.title) < 0;
  });
}

QStringList CHelpWindow::Search(const QString& word) const {
  QStringList found;
  const QString needle = word.trimmed().toLower();
  if (needle.isEmpty()) return found;
  for (const Page& page : m_pages)
    if (page.text.contains(needle)) found << page.file;
  return found;
}

void CHelpWindow::RunSearch() {
  m_results->clear();
  for (const QString& file : Search(m_searchField->text())) {
    const auto page = std::find_if(m_pages.begin(), m_pages.end(), [&](const Page& p) { return p.file == file; });
    auto* item = new QListWidgetItem(page != m_pages.end() ? page->title : file, m_results);
    item->setData(Qt::UserRole, file);
  }
}

void CHelpWindow::Open(const QString& file) {
  const QString path = QDir(m_folder).filePath(file);
  m_browser->setSource(m_folder.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + path)
                                                             : QUrl::fromLocalFile(path));
  show();
  raise();
  activateWindow();
}

QString CHelpWindow::CurrentPage() const { return QFileInfo(m_browser->source().path()).fileName(); }

void CHelpWindow::ShowContents() {
  Open(QStringLiteral("index.html"));
  m_browser->setFocus();
}

void CHelpWindow::ShowUsingHelp() {
  Open(QStringLiteral("usinghelp.html"));
  m_browser->setFocus();
}

void CHelpWindow::ShowSearch(const QString& keyword) {
  if (m_browser->source().isEmpty()) Open(QStringLiteral("index.html"));
  m_searchPanel->show();
  m_searchField->setText(keyword);
  RunSearch();
  show();
  raise();
  activateWindow();
  m_searchField->setFocus();
}

void CHelpWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Left) {
    m_browser->backward();
    return;
  }
  if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Right) {
    m_browser->forward();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool CHelpWindow::eventFilter(QObject* watched, QEvent* event) {
  // Backspace in the page goes back (the search field keeps its own).
  if (watched == m_browser && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier) {
      m_browser->backward();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
