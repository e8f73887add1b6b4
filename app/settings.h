// What the editor remembers between runs: the main window's place and size,
// whether the toolbar and the status bar show, the zoom, and the last four
// profiles retrieved.  They live in the user's configuration folder
// (<XDG_CONFIG_HOME or ~/.config>/Velcor/Quelt.conf), never in the
// installation's registry file.  Only the program itself remembers
// (EnableEditorSettings); everything else, tests of other parts among them,
// leaves the user's file alone.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "platform/cstring.h"
#include "platform/wintypes.h"

class CFrameWnd;
class CMainFrame;

// Commands of the remembered profiles at the end of the Profile menu.
inline constexpr UINT ID_FILE_MRU_FIRST = 57616;
inline constexpr int kRecentProfiles = 4;
inline constexpr UINT ID_FILE_MRU_LAST = ID_FILE_MRU_FIRST + kRecentProfiles - 1;

struct CRecentProfile {
  CString server;
  CString name;
  CString profileClass;
  bool operator==(const CRecentProfile& other) const {
    return server == other.server && name == other.name && profileClass == other.profileClass;
  }
};

class CEditorSettings {
 public:
  static constexpr float kMinZoom = 0.1f;
  static constexpr float kMaxZoom = 10.0f;

  // The file, from the configuration folder as it is now.
  static QString FilePath();

  // Reads the file; what is missing, malformed or out of range keeps its
  // default.  Writes it (false when it could not be written).
  void Load();
  bool Save() const;

  // Puts the profile first, once; the list keeps the latest four.
  void AddRecent(const CRecentProfile& profile);
  void RemoveRecent(const CRecentProfile& profile);
  // Whether a profile may be remembered: three non-empty words that the
  // command line could carry.
  static bool IsRememberable(const CRecentProfile& profile);
  // "&1 Lines_Main (Lines) on Default_Server"; & in the names doubled.
  static CString MenuText(int index, const CRecentProfile& profile);

  QByteArray m_geometry;  // the main window's, as Qt saves it; empty: none
  bool m_bToolBar = true;
  bool m_bStatusBar = true;
  float m_fZoom = 1.0f;
  std::vector<CRecentProfile> m_recent;  // newest first
};

// Turns remembering on for this run (the program's main does).
void EnableEditorSettings();
bool EditorSettingsEnabled();
// The settings of this run, loaded on first use.
CEditorSettings& EditorSettings();

// The main frame takes the remembered place, bars and zoom when it is made,
// and gives them back when it goes.  Nothing happens unless enabled.
void RestoreFrameSettings(CMainFrame* frame);
void SaveFrameSettings(CMainFrame* frame);
// Remembers a retrieved profile, or forgets one, and refreshes the menu of
// the application's main frame.
void RememberProfile(const CRecentProfile& profile);
void ForgetProfile(const CRecentProfile& profile);
// Puts the remembered profiles above Exit in the frame's Profile menu.
void UpdateRecentMenu(CFrameWnd* frame);
