// The document follows its profile on the server: a watch of its own tells
// it of every write there, and a write that is not the document's own marks
// it "changed on the server" until the next Retrieve or Store, so that the
// user knows before storing and the next Store goes straight to the
// conflict dialog.
#include "app/profwatch.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "platform/cframewnd.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"

void CQueltDoc::FollowServer() {
  const bool wanted = m_bOnServer && !m_strServer.IsEmpty() && !m_strName.IsEmpty();
  if (wanted && m_pWatch != nullptr && m_pWatch->Server() == m_strServer.str() &&
      m_pWatch->ProfileClass() == m_strClass.str() && m_pWatch->Name() == m_strName.str()) {
    if (m_bEventWaiting && m_nRequests == 0) {
      m_bEventWaiting = false;
      OnServerEvent(m_nWaitingRevision, m_nWaitingTimeMs, m_bWaitingRemoved);
    }
    return;
  }
  // The old watch ends before its successor starts, so no event of the old
  // profile arrives after the switch.
  m_bEventWaiting = false;
  m_pWatch.reset();
  m_nWatchedRevision = 0;
  if (!wanted) return;
  m_pWatch = std::make_unique<CProfileWatch>(m_strServer.str(), m_strClass.str(), m_strName.str(),
                                             [this](uint64_t revision, int64_t timeUnixMs, bool removed) {
                                               OnServerEvent(revision, timeUnixMs, removed);
                                             });
}

void CQueltDoc::OnServerEvent(uint64_t revision, int64_t timeUnixMs, bool removed) {
  if (m_nRequests > 0) {
    m_bEventWaiting = true;
    m_nWaitingRevision = revision;
    m_nWaitingTimeMs = timeUnixMs;
    m_bWaitingRemoved = removed;
    return;
  }
  ++m_nWatchEvents;
  m_nWatchedRevision = removed ? 0 : revision;
  NoteServerRevision(revision, timeUnixMs, removed);
  // The latest event decides: an event of the document's own store that
  // comes after an older one (queued while the store ran) clears the mark
  // that one set.
  ShowChangedOnServer(m_bHasBase && (m_bServerRemoved || m_nServerRevision != 0));
}

void CQueltDoc::ShowChangedOnServer(bool changed) {
  if (changed == m_bChangedOnServer) return;
  m_bChangedOnServer = changed;
  CQueltView* view = GetView();
  CFrameWnd* frame = view != nullptr ? view->GetParentFrame() : nullptr;
  if (frame != nullptr) frame->AnnounceMessageText(changed ? LoadStringById(IDS_CHANGED_ON_SERVER).GetString() : nullptr);
}
