// The document's conflict-safe Store: it remembers the revision (and the
// content) the edits started from, a Store expects the server still to hold
// that revision, and when another session stored in between the user
// merges the two sets of changes, overwrites the server's, or cancels.
#include <chrono>

#include "app/misc.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/storeconflict.h"
#include "app/tempset.h"
#include "common/multises.h"
#include "compare/merge.h"
#include "dialogs/errorbox.h"
#include "platform/msgbox.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "platform/waitcursor.h"


void CQueltDoc::SetBase(CTkvs content, uint64_t revision, int64_t timeUnixMs) {
  m_base.SetToKVSet(content);
  m_bHasBase = m_base.Type() == CT_TYPE_KVSET;
  m_nBaseRevision = revision;
  // A store's own revision time is close enough to now; the server says
  // when it was written only when asked.
  m_nBaseTimeMs = timeUnixMs != 0 ? timeUnixMs
                                  : std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count();
  m_nServerRevision = 0;
  m_bServerRemoved = false;
  ShowChangedOnServer(false);  // the document is back in step with the server
}

void CQueltDoc::ForgetBase() {
  m_bHasBase = false;
  m_nBaseRevision = 0;
  m_nBaseTimeMs = 0;
  m_base = QV_DataElement();
  m_nServerRevision = 0;
  m_bServerRemoved = false;
  ShowChangedOnServer(false);
}

bool CQueltDoc::NoteServerRevision(uint64_t revision, int64_t /*timeUnixMs*/, bool removed) {
  if (!m_bHasBase) return false;
  const bool news = removed ? !m_bServerRemoved : revision != m_nBaseRevision && revision != m_nServerRevision;
  m_bServerRemoved = removed;
  m_nServerRevision = removed ? 0 : (revision != m_nBaseRevision ? revision : 0);
  return news;
}

uint64_t CQueltDoc::ExpectedRevision(const CString& server, const CString& profileClass, const CString& name,
                                     BOOL update) const {
  // Only an update of the profile the base came from has something to expect.
  if (!update || !m_bHasBase || !m_bOnServer) return 0;
  if (server != m_strServer || profileClass != m_strClass || name != m_strName) return 0;
  return m_nBaseRevision;
}

bool CQueltDoc::ServerKnownAhead() const { return m_bHasBase && m_nServerRevision != 0; }

CQueltDoc::ConflictChoice CQueltDoc::ResolveStoreConflict(const CString& server, const CString& profileClass,
                                                          const CString& name, CTkvs mine, bool translated) {
  CQueltView* view = GetView();
  MultiAdminSession* session = view != nullptr ? view->GetSession() : nullptr;
  if (session == nullptr) return ConflictChoice::Failed;
  CWaitCursor wait;
  CTempSet theirs;
  if (!TempSetReady(theirs, wait, view)) return ConflictChoice::Failed;
  CT_ProfileVersion version{};
  if (!session->LoadProfile(QV_String(server.GetString()), QV_String(name.GetString()),
                            QV_String(profileClass.GetString()), theirs.Get(), &version)) {
    wait.Release();
    if (!session->Cancelled()) CErrorBox(session->LastError(), view).DoModal();
    return ConflictChoice::Failed;
  }
  QV_DataElement mineElement, theirElement;
  mineElement.SetToKVSet(mine);
  theirElement.SetToKVSet(theirs.Get());
  compare::MergeResult merge;
  if (!compare::Merge(m_base, mineElement, theirElement, &merge) || merge.merged.Type() != CT_TYPE_KVSET) {
    wait.Release();
    CErrorBox(IDS_MERGE_FAILED, view).DoModal();
    return ConflictChoice::Failed;
  }
  wait.Release();

  CStoreConflictBox box(view);
  box.m_nTheirTimeMs = version.timeUnixMs;
  box.m_nMine = merge.mineChanges;
  box.m_nTheirs = merge.theirChanges;
  box.m_nBoth = merge.conflicts.size();
  const int choice = box.DoModal();
  if (choice == CStoreConflictBox::kOverwrite) {
    const int sure = MessageBoxText(IDS_CONFIRM_OVERWRITE, LoadStringById(IDS_CONFIRM_OVERWRITE),
                                    MB_YESNO | MB_ICONQUESTION, view->Widget());
    return sure == IDYES ? ConflictChoice::Overwrite : ConflictChoice::Cancelled;
  }
  if (choice != CStoreConflictBox::kMerge) return ConflictChoice::Cancelled;

  // The merged profile replaces the tree as one step the user can undo; it
  // is not stored until the user has seen it and stores it.
  if (translated) {
    // The tree showed another server's numbers: it now shows this server's,
    // and its history (in the other numbers) starts anew.
    if (!view->PutProfile(server, merge.merged.KVSet())) return ConflictChoice::Failed;
    view->MarkNeverStored();
  } else if (!view->ReplaceProfileAsStep(merge.merged.KVSet(), IDS_MERGE_STEP)) {
    return ConflictChoice::Failed;
  }
  SetBase(theirs.Get(), version.revision, version.timeUnixMs);
  view->DocumentModified();
  view->OnInitialUpdate();
  // Places both sides changed are marked, mine kept, theirs beside them.
  if (!merge.conflicts.empty()) view->StartConflicts(theirElement, merge.conflicts, LoadStringById(IDS_CURRENT_CONTENT));
  return ConflictChoice::Merged;
}
