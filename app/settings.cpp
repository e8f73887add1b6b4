#include "app/settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

#include "app/mainfrm.h"
#include "app/quelt.h"
#include "app/queltview.h"
#include "platform/ccontrolbar.h"
#include "platform/cwinapp.h"
#include "platform/qtconvert.h"

namespace {

// Qt's saved geometry is a few dozen bytes; anything much larger is not one.
constexpr int kMaxGeometryBytes = 4096;

bool g_bEnabled = false;

bool IsWord(const CString& text) {
  if (text.IsEmpty() || text.GetLength() > kMaxWordLength) return false;
  for (int i = 0; i < text.GetLength(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

CString FromSetting(const QVariant& value) { return FromQString(value.toString()); }

// "&" would underline the next letter: a name shows as it is.
CString Escaped(const CString& text) {
  CString out;
  for (int i = 0; i < text.GetLength(); ++i) {
    if (text[i] == '&') out += '&';
    out += text[i];
  }
  return out;
}

}  // namespace

QString CEditorSettings::FilePath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Velcor/Quelt.conf");
}

void CEditorSettings::Load() {
  *this = CEditorSettings();
  QSettings file(FilePath(), QSettings::IniFormat);
  const QByteArray geometry = file.value(QStringLiteral("Window/Geometry")).toByteArray();
  if (geometry.size() <= kMaxGeometryBytes) m_geometry = geometry;
  m_bToolBar = file.value(QStringLiteral("Window/ToolBar"), true).toBool();
  m_bStatusBar = file.value(QStringLiteral("Window/StatusBar"), true).toBool();
  // The zoom is kept as the whole percentage the zoom dialog takes.
  bool ok = false;
  const int percent = file.value(QStringLiteral("View/ZoomPercent"), 100).toInt(&ok);
  if (ok && percent >= 10 && percent <= 1000) m_fZoom = static_cast<float>(percent) / 100.0f;

  const int count = std::min(file.beginReadArray(QStringLiteral("RecentProfiles")), kRecentProfiles);
  for (int i = 0; i < count; ++i) {
    file.setArrayIndex(i);
    const CRecentProfile profile{FromSetting(file.value(QStringLiteral("Server"))),
                                 FromSetting(file.value(QStringLiteral("Name"))),
                                 FromSetting(file.value(QStringLiteral("Class")))};
    if (IsRememberable(profile) && std::find(m_recent.begin(), m_recent.end(), profile) == m_recent.end())
      m_recent.push_back(profile);
  }
  file.endArray();
}

bool CEditorSettings::Save() const {
  QSettings file(FilePath(), QSettings::IniFormat);
  file.setValue(QStringLiteral("Window/Geometry"), m_geometry);
  file.setValue(QStringLiteral("Window/ToolBar"), m_bToolBar);
  file.setValue(QStringLiteral("Window/StatusBar"), m_bStatusBar);
  file.setValue(QStringLiteral("View/ZoomPercent"), static_cast<int>(std::lround(m_fZoom * 100.0f)));
  file.remove(QStringLiteral("RecentProfiles"));
  file.beginWriteArray(QStringLiteral("RecentProfiles"), static_cast<int>(m_recent.size()));
  for (size_t i = 0; i < m_recent.size(); ++i) {
    file.setArrayIndex(static_cast<int>(i));
    file.setValue(QStringLiteral("Server"), ToQString(m_recent[i].server));
    file.setValue(QStringLiteral("Name"), ToQString(m_recent[i].name));
    file.setValue(QStringLiteral("Class"), ToQString(m_recent[i].profileClass));
  }
  file.endArray();
  file.sync();
  return file.status() == QSettings::NoError;
}

void CEditorSettings::AddRecent(const CRecentProfile& profile) {
  if (!IsRememberable(profile)) return;
  RemoveRecent(profile);
  m_recent.insert(m_recent.begin(), profile);
  if (m_recent.size() > static_cast<size_t>(kRecentProfiles)) m_recent.resize(kRecentProfiles);
}

void CEditorSettings::RemoveRecent(const CRecentProfile& profile) {
  m_recent.erase(std::remove(m_recent.begin(), m_recent.end(), profile), m_recent.end());
}

bool CEditorSettings::IsRememberable(const CRecentProfile& profile) {
  return IsWord(profile.server) && IsWord(profile.name) && IsWord(profile.profileClass);
}

CString CEditorSettings::MenuText(int index, const CRecentProfile& profile) {
  CString text;
  text.Format("&%d %s (%s) on %s", index + 1, Escaped(profile.name).GetString(),
              Escaped(profile.profileClass).GetString(), Escaped(profile.server).GetString());
  return text;
}

void EnableEditorSettings() { g_bEnabled = true; }

bool EditorSettingsEnabled() { return g_bEnabled; }

CEditorSettings& EditorSettings() {
  static CEditorSettings* settings = [] {
    auto* loaded = new CEditorSettings;
    loaded->Load();
    return loaded;
  }();
  return *settings;
}

void RestoreFrameSettings(CMainFrame* frame) {
  if (!g_bEnabled || frame == nullptr) return;
  const CEditorSettings& settings = EditorSettings();
  if (frame->Window() != nullptr && !settings.m_geometry.isEmpty()) frame->Window()->restoreGeometry(settings.m_geometry);
  frame->ShowControlBar(&frame->ToolBar(), settings.m_bToolBar ? TRUE : FALSE);
  frame->ShowControlBar(&frame->StatusBar(), settings.m_bStatusBar ? TRUE : FALSE);
  if (auto* view = dynamic_cast<CQueltView*>(frame->GetActiveView())) view->SetZoom(settings.m_fZoom);
  UpdateRecentMenu(frame);
}

void SaveFrameSettings(CMainFrame* frame) {
  if (!g_bEnabled || frame == nullptr || frame->Window() == nullptr) return;
  CEditorSettings& settings = EditorSettings();
  settings.m_geometry = frame->Window()->saveGeometry();
  // Hidden by the user, not merely with the closed window.
  settings.m_bToolBar = frame->ToolBar().Widget() != nullptr && !frame->ToolBar().Widget()->isHidden();
  settings.m_bStatusBar = frame->StatusBar().Widget() != nullptr && !frame->StatusBar().Widget()->isHidden();
  if (auto* view = dynamic_cast<CQueltView*>(frame->GetActiveView())) settings.m_fZoom = view->GetZoom();
  settings.Save();
}

namespace {
void RecentChanged() {
  EditorSettings().Save();
  if (CWinApp* app = TheApp(); app != nullptr && app->m_pMainWnd != nullptr) UpdateRecentMenu(app->m_pMainWnd);
}
}  // namespace

void RememberProfile(const CRecentProfile& profile) {
  if (!g_bEnabled) return;
  EditorSettings().AddRecent(profile);
  RecentChanged();
}

void ForgetProfile(const CRecentProfile& profile) {
  if (!g_bEnabled) return;
  EditorSettings().RemoveRecent(profile);
  RecentChanged();
}

void UpdateRecentMenu(CFrameWnd* frame) {
  if (frame == nullptr) return;
  const std::vector<CRecentProfile>& recent = EditorSettings().m_recent;
  std::vector<CString> texts;
  for (size_t i = 0; i < recent.size() && i < static_cast<size_t>(kRecentProfiles); ++i)
    texts.push_back(CEditorSettings::MenuText(static_cast<int>(i), recent[i]));
  frame->SetMenuList(ID_APP_EXIT, ID_FILE_MRU_FIRST, kRecentProfiles, texts);
}
