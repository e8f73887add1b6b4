#include "common/admsess.h"

#include <algorithm>
#include <new>

#include "s100/cterrors.h"

namespace {

constexpr uint32_t kNone = ct::kErrNone;

// Frees an array made with new[] and nulls the pointer.
template <class T>
void FreeArray(T** items) {
  delete[] *items;
  *items = nullptr;
}

// One of a reply's parallel lists, to be copied into a new array that the
// caller of the session frees.
template <class Out, class In>
struct Column {
  const In* items;
  Out** out;
  Out* made = nullptr;

  bool Make(uint32_t n) {
    made = new (std::nothrow) Out[n];
    if (!made) return false;
    for (uint32_t i = 0; i < n; ++i) made[i] = items[i];
    return true;
  }
};

template <class Out, class In>
Column<Out, In> ColumnOf(const In* items, Out** out) {
  return Column<Out, In>{items, out};
}

// After successful calls (*status 1), copies the first n items of every list
// and sets *count; all or nothing: out of memory sets no output but the
// status and error.
template <class... Columns>
void TakeColumns(int32_t* status, uint32_t* error, int32_t* count, uint32_t n, Columns... columns) {
  if (*status != 1 || n == 0) return;
  const bool made = (columns.Make(n) & ...);
  if (made) {
    ((*columns.out = columns.made), ...);
    *count = static_cast<int32_t>(n);
  } else {
    (FreeArray(&columns.made), ...);
    *status = 3;
    *error = ct::kErrNoMemory;
  }
}

}  // namespace

ECTF_AdminSession::ECTF_AdminSession(const QV_String& server)
    : m_hSession(0), m_nStatus(3), m_nLastError(kNone), m_bOpen(0) {
  CTkvs reply = 0;
  CTkvs options = 0;
  m_nStatus = CTkvs_Create(&reply, &m_nLastError);
  const bool haveReply = m_nStatus == 1;
  bool haveOptions = false;
  if (haveReply) {
    m_nStatus = CTkvs_Create(&options, &m_nLastError);
    haveOptions = m_nStatus == 1;
  }
  if (haveOptions) m_nStatus = CTkvs_PutString(options, CT_KEY_SERVER_NAME, server, &m_nLastError);
  if (haveOptions && m_nStatus == 1) {
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    m_nStatus = CTses_Create(&m_hSession, "", 0, options, &record, 0);
    if (m_nStatus != 1) m_nLastError = record.error;
  }
  uint32_t ignored = 0;
  if (haveOptions) CTkvs_Destroy(options, &ignored);
  if (m_nStatus == 1) m_bOpen = 1;
  if (haveReply) CTkvs_Destroy(reply, &ignored);
}

ECTF_AdminSession::~ECTF_AdminSession() {
  if (!m_bOpen) return;
  uint32_t ignored = 0;
  CTsym_UnloadTable(m_hSession, &ignored);
  m_nLastError = kNone;
  CTkvs reply = 0;
  m_nStatus = CTkvs_Create(&reply, &m_nLastError);
  if (m_nStatus == 1) {
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    m_nStatus = CTses_Destroy(m_hSession, CT_kvsEmpty, &record, 0);
    if (m_nStatus != 1) m_nLastError = record.error;
    CTkvs_Destroy(reply, &ignored);
  }
}

template <class Call>
int32_t ECTF_AdminSession::StandardCall(Call call, bool copyError) {
  m_nLastError = kNone;
  CTkvs reply = 0;
  m_nStatus = CTkvs_Create(&reply, &m_nLastError);
  if (m_nStatus != 1) return IsOK();
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  m_nStatus = call(record);
  if (m_nStatus != 1 && copyError) m_nLastError = record.error;
  uint32_t ignored = 0;
  CTkvs_Destroy(reply, &ignored);
  return IsOK();
}

template <class Call, class Unpack>
int32_t ECTF_AdminSession::InfoCall(Call call, Unpack unpack, bool noneIsEmpty) {
  m_nLastError = kNone;
  CTkvs reply = 0;
  CTkvs info = 0;
  uint32_t ignored = 0;
  m_nStatus = CTkvs_Create(&reply, &m_nLastError);
  if (m_nStatus != 1) return IsOK();
  m_nStatus = CTkvs_Create(&info, &m_nLastError);
  if (m_nStatus != 1) {
    CTkvs_Destroy(reply, &ignored);
    return IsOK();
  }
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  m_nStatus = call(record, info);
  if (m_nStatus != 1) {
    if (noneIsEmpty && record.error == ct::kErrNotFound) {
      // A server without profiles or services is no error.
      m_nStatus = 1;
      m_nLastError = kNone;
    } else {
      m_nLastError = record.error;
    }
  }
  if (m_nStatus == 1) unpack(reply, info);
  CTkvs_Destroy(info, &ignored);
  CTkvs_Destroy(reply, &ignored);
  return IsOK();
}

int32_t ECTF_AdminSession::AddProfile(const QV_String& name, const QV_String& profileClass, CTkvs set) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_AddProfile(m_hSession, name, profileClass, set, &r, 0); });
}

int32_t ECTF_AdminSession::UpdateProfile(const QV_String& name, const QV_String& profileClass, CTkvs set) {
  return StandardCall(
      [&](CT_ReplyRecord& r) { return CTadm_UpdateProfile(m_hSession, name, profileClass, set, &r, 0); });
}

int32_t ECTF_AdminSession::RemoveProfile(const QV_String& name, const QV_String& profileClass) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_RemoveProfile(m_hSession, name, profileClass, &r, 0); });
}

int32_t ECTF_AdminSession::AddProfile(const QV_String& name, const QV_String& profileClass, CTkvs set,
                                      uint64_t* newRevision) {
  return StandardCall([&](CT_ReplyRecord& r) {
    return CTadm_AddProfileEx(m_hSession, name, profileClass, set, newRevision, &r, 0);
  });
}

int32_t ECTF_AdminSession::UpdateProfile(const QV_String& name, const QV_String& profileClass, CTkvs set,
                                         uint64_t expectedRevision, uint64_t* newRevision) {
  return StandardCall([&](CT_ReplyRecord& r) {
    return CTadm_UpdateProfileEx(m_hSession, name, profileClass, set, expectedRevision, newRevision, &r, 0);
  });
}

int32_t ECTF_AdminSession::RemoveProfile(const QV_String& name, const QV_String& profileClass,
                                         uint64_t expectedRevision) {
  return StandardCall([&](CT_ReplyRecord& r) {
    return CTadm_RemoveProfileEx(m_hSession, name, profileClass, expectedRevision, &r, 0);
  });
}

int32_t ECTF_AdminSession::ImportProfile(const QV_String& name, const QV_String& profileClass, const QV_String& file) {
  return StandardCall(
      [&](CT_ReplyRecord& r) { return CTadm_ImportProfile(m_hSession, name, profileClass, file, &r, 0); });
}

int32_t ECTF_AdminSession::ExportProfile(const QV_String& name, const QV_String& profileClass, const QV_String& file) {
  return StandardCall(
      [&](CT_ReplyRecord& r) { return CTadm_ExportProfile(m_hSession, name, profileClass, file, &r, 0); });
}

int32_t ECTF_AdminSession::AddService(const QV_String& name, CTkvs set) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_AddService(m_hSession, name, set, &r, 0); });
}

int32_t ECTF_AdminSession::UpdateService(const QV_String& name, CTkvs set) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_UpdateService(m_hSession, name, set, &r, 0); });
}

int32_t ECTF_AdminSession::RemoveService(const QV_String& name) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_RemoveService(m_hSession, name, &r, 0); });
}

int32_t ECTF_AdminSession::StartService(const QV_String& name) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_StartService(m_hSession, name, &r, 0); }, false);
}

int32_t ECTF_AdminSession::StopService(const QV_String& name, uint32_t value) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_StopService(m_hSession, name, value, &r, 0); },
                      false);
}

int32_t ECTF_AdminSession::GetServerLevel(int32_t* level) {
  return StandardCall([&](CT_ReplyRecord& r) {
    int32_t answer = level ? *level : 0;
    const int result = CTadm_GetServerLevel(m_hSession, &answer, &r, 0);
    if (level) *level = answer;
    return result;
  });
}

int32_t ECTF_AdminSession::ChangeServerLevel(int32_t level, uint32_t value) {
  return StandardCall([&](CT_ReplyRecord& r) { return CTadm_SetTargetServerLevel(m_hSession, level, value, &r, 0); });
}

int32_t ECTF_AdminSession::GetProfileInfo(const QV_String& name, const QV_String& profileClass, int32_t one,
                                          CTkvs set) {
  return StandardCall([&](CT_ReplyRecord& r) {
    const int result = CTadm_GetProfileInfo(m_hSession, name, profileClass, one, set, &r, 0);
    if (result == 1) {
      uint32_t ignored = 0;
      CTkvs_Copy(set, r.replySet, &ignored);
    }
    return result;
  });
}

int32_t ECTF_AdminSession::LoadSymbolTable() {
  return StandardCall([&](CT_ReplyRecord& r) { return CTsym_LoadTable(m_hSession, &r, 0); });
}

int32_t ECTF_AdminSession::GetProfile(const QV_String& name, const QV_String& profileClass, CTkvs set) {
  return GetProfile(name, profileClass, set, nullptr);
}

int32_t ECTF_AdminSession::GetProfile(const QV_String& name, const QV_String& profileClass, CTkvs set,
                                      CT_ProfileVersion* version) {
  return InfoCall(
      [&](CT_ReplyRecord& record, CTkvs info) {
        return CTadm_GetProfileEx(m_hSession, name, profileClass, info, version, &record, 0);
      },
      // Only a successful answer is unpacked, so that a failure keeps the
      // runtime's error code instead of reading as "nothing found".
      [&](CTkvs /*reply*/, CTkvs info) {
        const CTkvs* contents = nullptr;
        const char* const* classes = nullptr;
        uint32_t contentCount = 0;
        uint32_t classCount = 0;
        m_nStatus = CTkvs_GetKVSetArray(info, CT_KEY_PROFILE_CONTENTS, &contents, &contentCount, &m_nLastError);
        if (m_nStatus == 1) {
          m_nStatus = CTkvs_GetStringArray(info, CT_KEY_PROFILE_CLASSES, &classes, &classCount, &m_nLastError);
        }
        if (m_nStatus == 1) {
          if (classCount >= 1 && contentCount >= 1) {
            m_nStatus = CTkvs_Copy(set, contents[0], &m_nLastError);
          } else {
            m_nStatus = 3;
            m_nLastError = ct::kErrNotFound;
          }
        }
      },
      false);
}

int32_t ECTF_AdminSession::GetProfileList(const QV_String& profileClass, QV_String** names, QV_String** classes,
                                          int32_t* count) {
  *count = 0;
  *names = nullptr;
  *classes = nullptr;
  return InfoCall(
      [&](CT_ReplyRecord& record, CTkvs info) {
        return CTadm_GetProfileInfo(m_hSession, nullptr, profileClass, 0, info, &record, 0);
      },
      [&](CTkvs reply, CTkvs /*info*/) {
        const char* const* nameItems = nullptr;
        const char* const* classItems = nullptr;
        uint32_t nameCount = 0;
        uint32_t classCount = 0;
        if (m_nStatus == 1) {
          m_nStatus = CTkvs_GetStringArray(reply, CT_KEY_PROFILE_NAMES, &nameItems, &nameCount, &m_nLastError);
        }
        if (m_nStatus == 1) {
          m_nStatus = CTkvs_GetStringArray(reply, CT_KEY_PROFILE_CLASSES, &classItems, &classCount, &m_nLastError);
        }
        // The two lists have one length; never read past the shorter one.
        const uint32_t n = std::min(nameCount, classCount);
        TakeColumns(&m_nStatus, &m_nLastError, count, n, ColumnOf(nameItems, names),
                    ColumnOf(classItems, classes));
      },
      true);
}

int32_t ECTF_AdminSession::GetServiceStates(QV_String** names, uint32_t** states, uint32_t** modes,
                                            int32_t** running, int32_t* count) {
  *count = 0;
  *names = nullptr;
  *states = nullptr;
  *modes = nullptr;
  *running = nullptr;
  return InfoCall(
      [&](CT_ReplyRecord& record, CTkvs info) { return CTadm_GetServiceState(m_hSession, "", info, &record, 0); },
      [&](CTkvs reply, CTkvs /*info*/) {
        const char* const* nameItems = nullptr;
        const CTsymbol* stateItems = nullptr;
        const CTsymbol* modeItems = nullptr;
        const int32_t* runningItems = nullptr;
        uint32_t c1 = 0, c2 = 0, c3 = 0, c4 = 0;
        if (m_nStatus == 1) m_nStatus = CTkvs_GetStringArray(reply, CT_KEY_SERVICE_NAMES, &nameItems, &c1, &m_nLastError);
        if (m_nStatus == 1) m_nStatus = CTkvs_GetSymbolArray(reply, CT_KEY_SERVICE_STATES, &stateItems, &c2, &m_nLastError);
        if (m_nStatus == 1) m_nStatus = CTkvs_GetSymbolArray(reply, CT_KEY_SERVICE_MODES, &modeItems, &c3, &m_nLastError);
        if (m_nStatus == 1) m_nStatus = CTkvs_GetBoolArray(reply, CT_KEY_SERVICE_RUNNING, &runningItems, &c4, &m_nLastError);
        const uint32_t n = std::min({c1, c2, c3, c4});
        TakeColumns(&m_nStatus, &m_nLastError, count, n, ColumnOf(nameItems, names), ColumnOf(stateItems, states),
                    ColumnOf(modeItems, modes), ColumnOf(runningItems, running));
      },
      true);
}

int32_t ECTF_AdminSession::GetSPList(QV_String** names, int32_t** running, int32_t* count) {
  *count = 0;
  *names = nullptr;
  *running = nullptr;
  return InfoCall(
      [&](CT_ReplyRecord& record, CTkvs info) { return CTadm_GetSPInfo(m_hSession, "", info, &record, 0); },
      [&](CTkvs reply, CTkvs /*info*/) {
        const char* const* nameItems = nullptr;
        const int32_t* runningItems = nullptr;
        uint32_t c1 = 0, c2 = 0;
        if (m_nStatus == 1) m_nStatus = CTkvs_GetStringArray(reply, CT_KEY_PROCESS_NAMES, &nameItems, &c1, &m_nLastError);
        if (m_nStatus == 1) m_nStatus = CTkvs_GetBoolArray(reply, CT_KEY_PROCESS_RUNNING, &runningItems, &c2, &m_nLastError);
        const uint32_t n = std::min(c1, c2);
        TakeColumns(&m_nStatus, &m_nLastError, count, n, ColumnOf(nameItems, names), ColumnOf(runningItems, running));
      },
      false);
}

int32_t ECTF_AdminSession::ListRevisions(const QV_String& name, const QV_String& profileClass,
                                         std::vector<CT_RevisionInfo>* revisions) {
  revisions->clear();
  return StandardCall([&](CT_ReplyRecord& r) {
    return CTadm_ListRevisions(m_hSession, name, profileClass, revisions, &r, 0);
  });
}

int32_t ECTF_AdminSession::GetRevision(const QV_String& name, const QV_String& profileClass, uint64_t revision,
                                       CTkvs set) {
  return StandardCall([&](CT_ReplyRecord& r) {
    return CTadm_GetRevision(m_hSession, name, profileClass, revision, set, &r, 0);
  });
}

int32_t ECTF_AdminSession::NameToSymbol(const QV_String& name, uint32_t* symbol) {
  m_nStatus = CTsym_NameToSymbol(m_hSession, name, symbol, &m_nLastError);
  return IsOK();
}

int32_t ECTF_AdminSession::SymbolToName(uint32_t symbol, QV_String* name) {
  char buffer[CT_SYMBOL_NAME_BUFFER];
  m_nStatus = CTsym_SymbolToName(m_hSession, symbol, buffer, CT_SYMBOL_NAME_BUFFER, &m_nLastError);
  if (m_nStatus == 1 && name) *name = buffer;
  return IsOK();
}
