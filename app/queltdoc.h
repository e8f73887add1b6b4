// CQueltDoc: the one profile document.  It knows where the profile lives
// (server, class, name), whether it exists on the server, and whether it
// has unsaved changes; the profile's content lives in the view's tree, and
// the document moves it between the view and the server as a key-value set
// through the application's multi-server session.
#pragma once

#include <cstdint>
#include <memory>

#include "model/dataelt.h"
#include "platform/cdocument.h"
#include "platform/cstring.h"
#include "platform/wintypes.h"

class CProfileWatch;
class CQueltView;
class CTempSet;

class CQueltDoc : public CDocument {
 public:
  CQueltDoc();
  ~CQueltDoc() override;

  // Makes the document a new, empty profile on a server the user picks in
  // the server dialog (the server argument is not used).  FALSE on a
  // registry or memory failure; a cancelled dialog still answers TRUE and
  // changes nothing: identity, stored state, modified mark and history stay.
  BOOL OnNewProfile(const CString& server, const CString& profileClass, const CString& name);
  // Loads the named profile from the server into the view.
  BOOL OnOpenProfile(const CString& server, const CString& profileClass, const CString& name);
  // Stores the view's tree on the server: update TRUE replaces the stored
  // profile, FALSE adds a new one.  Stored on another server than the one
  // whose symbols the tree holds, keys and symbol values are translated by
  // name, and the tree then shows the target server's symbols.
  BOOL OnSaveProfile(const CString& server, const CString& profileClass, const CString& name, BOOL update);

  // The two store commands (57603, 57604).
  void OnFileSave();
  void OnFileSaveAs();

  // Profiles as local files (app/proffile.cpp).  The commands ask for the
  // file; ImportProfileFile makes the file's profile a new, modified
  // profile on a server the user picks, ExportProfileFile writes the tree.
  void OnImportFromFile();
  void OnExportToFile();
  BOOL ImportProfileFile(const CString& path);
  BOOL ExportProfileFile(const CString& path);

  // The server's revisions of this profile (app/history.cpp): the command
  // lists them; OpenRevision puts one revision's content into the view
  // under the current identity, as a modified document.
  void OnRevisionHistory();
  void OnUpdateRevisionHistory(CCmdUI* ui);
  BOOL OpenRevision(uint64_t revision);
  // Fetches one revision's content into the set; FALSE with the message
  // shown (none for a cancelled call).
  BOOL LoadRevision(uint64_t revision, CTempSet& set);

  // Comparisons (app/history.cpp): the open profile, unsaved changes
  // included, against the server's current content or one revision.  The
  // view marks the differences; FALSE (with the message shown, none when
  // cancelled) when the other side could not be read.
  void OnCompareServer();
  void OnUpdateCompareServer(CCmdUI* ui);
  BOOL CompareWithRevision(uint64_t revision);
  // A profile on a known server the user picks (server, then profile), or
  // a profile file.  Enabled whenever there is a view.
  void OnCompareOtherServer();
  void OnCompareFile();
  void OnUpdateCompareView(CCmdUI* ui);
  BOOL CompareWithProfile(const CString& server, const CString& profileClass, const CString& name);
  BOOL CompareWithFile(const CString& path);

  // TRUE when the caller may discard the current content; asks the user
  // (Confirm) when there are unsaved changes.
  BOOL SaveModified() override;

  // Sets the title (and with it the frame's caption) from the identity and
  // the modified state.
  void UpdateTitle();

  // After a store the user cancelled while the server had the request, asks
  // the server whether the store was applied, and makes the identity and the
  // modified mark follow the answer.  Nothing when no store is in doubt, or
  // the server cannot tell yet (the doubt stays for the next time).
  void ResolveStoreInDoubt();
  BOOL IsStoreInDoubt() const { return m_bStoreInDoubt; }

  CString GetProfileName() const { return m_strName; }
  CString GetProfileClass() const { return m_strClass; }
  CString GetProfileServer() const { return m_strServer; }
  BOOL IsOnServer() const { return m_bOnServer; }
  // Whether the latest OnNewProfile ended with the server dialog cancelled.
  BOOL NewWasCancelled() const { return m_bNewCancelled; }

  // The document's only view, or null.
  CQueltView* GetView() const;

  // ---- Conflict-safe Store (app/docconflict.cpp) ----------------------------
  // The server's revision of the profile, as a watch on the server sees it
  // (removed: the profile is gone).  Remembered so that the next Store goes
  // straight to the conflict when it differs from the base; TRUE when it
  // does (the news is worth telling the user).
  bool NoteServerRevision(uint64_t revision, int64_t timeUnixMs, bool removed);
  // The base: what the profile was on the server when it was retrieved or
  // last stored.  A Store expects the server still to hold its revision.
  bool HasBase() const { return m_bHasBase; }
  uint64_t BaseRevision() const { return m_nBaseRevision; }
  int64_t BaseTimeUnixMs() const { return m_nBaseTimeMs; }
  const QV_DataElement& BaseContent() const { return m_base; }

  // ---- The profile followed on its server (app/docwatch.cpp) ---------------
  // While the document holds a profile that is on a server, a watch tells it
  // of every write there; a write by anyone else marks the document
  // "changed on the server" (shown in the status bar) until the next
  // Retrieve or Store.
  bool IsWatching() const { return m_pWatch != nullptr; }
  bool IsChangedOnServer() const { return m_bChangedOnServer; }
  // The watch's events the document has taken since it was made, and the
  // state of the latest one; for tests and diagnostics.
  uint64_t WatchEvents() const { return m_nWatchEvents; }
  uint64_t WatchedRevision() const { return m_nWatchedRevision; }
  const CProfileWatch* Watch() const { return m_pWatch.get(); }
  // One event of the watch (on the GUI thread): the server's revision of the
  // profile, or removed.
  void OnServerEvent(uint64_t revision, int64_t timeUnixMs, bool removed);

 protected:
  CString m_strServer;
  CString m_strClass;
  CString m_strName;
  BOOL m_bOnServer = FALSE;
  BOOL m_bNewCancelled = FALSE;

 private:
  // The profile as the document starts over: a confirmed New, a Retrieve,
  // an Import.  An earlier store in doubt no longer concerns it.
  void ForgetStoreInDoubt() { m_bStoreInDoubt = FALSE; }

  // A store the user cancelled after it was sent: where it went, what the
  // server was sent, and what the tree held then (the same, unless the
  // symbols were translated for another server).
  BOOL m_bStoreInDoubt = FALSE;
  BOOL m_bDoubtUpdate = FALSE;
  CString m_strDoubtServer;
  CString m_strDoubtClass;
  CString m_strDoubtName;
  QV_DataElement m_doubtSent;
  QV_DataElement m_doubtTree;

  // ---- Conflict-safe Store (app/docconflict.cpp) ----------------------------
  // What a conflict dialog ended with.
  enum class ConflictChoice { Failed, Cancelled, Merged, Overwrite };
  // The base becomes the content and revision given (a Retrieve, a Store,
  // a Merge); ForgetBase drops it (New, Import).
  void SetBase(CTkvs content, uint64_t revision, int64_t timeUnixMs);
  void ForgetBase();
  // The revision a Store under that identity expects (0: none, write anyway).
  uint64_t ExpectedRevision(const CString& server, const CString& profileClass, const CString& name,
                            BOOL update) const;
  // Whether the server is known to be at another revision than the base.
  bool ServerKnownAhead() const;
  // A Store met another revision on the server: fetches it, merges, asks the
  // user.  mine is the content that was to be stored, in the server's
  // numbers; translated when the tree holds another server's numbers.
  ConflictChoice ResolveStoreConflict(const CString& server, const CString& profileClass, const CString& name,
                                      CTkvs mine, bool translated);

  bool m_bHasBase = false;
  uint64_t m_nBaseRevision = 0;
  int64_t m_nBaseTimeMs = 0;
  QV_DataElement m_base;
  // The revision the watch last reported (0: none since the base was set).
  uint64_t m_nServerRevision = 0;
  bool m_bServerRemoved = false;

  // ---- The profile followed on its server (app/docwatch.cpp) ---------------
  // Starts, moves or ends the watch so that it follows the profile the
  // document now holds on a server, and none otherwise.
  void FollowServer();
  // Shows or clears "changed on the server" in the status bar.
  void ShowChangedOnServer(bool changed);
  // While the document's own request for the profile runs (its Store or
  // Retrieve, whose progress window lets queued events run), the watch's
  // events wait: the document's own write must not look like another's
  // before the base has moved to it.  The latest waits; FollowServer, which
  // ends every such request, applies it unless the watch moved.
  class ServerRequestScope {
   public:
    ServerRequestScope(CQueltDoc* doc, bool followOnExit) : m_doc(doc), m_follow(followOnExit) { ++doc->m_nRequests; }
    ~ServerRequestScope() {
      --m_doc->m_nRequests;
      if (m_follow) m_doc->FollowServer();
    }
    ServerRequestScope(const ServerRequestScope&) = delete;
    ServerRequestScope& operator=(const ServerRequestScope&) = delete;

   private:
    CQueltDoc* m_doc;
    bool m_follow;
  };
  int m_nRequests = 0;
  bool m_bEventWaiting = false;
  uint64_t m_nWaitingRevision = 0;
  int64_t m_nWaitingTimeMs = 0;
  bool m_bWaitingRemoved = false;
  std::unique_ptr<CProfileWatch> m_pWatch;
  bool m_bChangedOnServer = false;
  uint64_t m_nWatchEvents = 0;
  uint64_t m_nWatchedRevision = 0;
};
