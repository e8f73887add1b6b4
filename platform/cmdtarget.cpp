#include "platform/cmdtarget.h"

CCmdTarget::~CCmdTarget() = default;

void CCmdTarget::AddCommand(UINT id, std::function<void()> handler) { m_commands[id] = std::move(handler); }

void CCmdTarget::AddCommandUpdate(UINT id, std::function<void(CCmdUI*)> handler) {
  m_updates[id] = std::move(handler);
}

void CCmdTarget::AddCommandRange(UINT first, UINT last, std::function<void(UINT)> handler) {
  if (last >= first) m_executeRanges.push_back({first, last, std::move(handler)});
}

void CCmdTarget::AddCommandUpdateRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler) {
  if (last >= first) m_updateRanges.push_back({first, last, std::move(handler)});
}

namespace {
template <class Range>
const Range* FindRange(const std::vector<Range>& ranges, UINT id) {
  for (auto it = ranges.rbegin(); it != ranges.rend(); ++it)
    if (id >= it->first && id <= it->last) return &*it;
  return nullptr;
}
}  // namespace

BOOL CCmdTarget::HandleHere(UINT id, CCmdUI* ui) {
  const auto command = m_commands.find(id);
  const ExecuteRange* executeRange = FindRange(m_executeRanges, id);
  if (ui == nullptr) {
    // Copies: a handler may change this target's command map.
    if (command != m_commands.end()) {
      const std::function<void()> handler = command->second;
      handler();
      return TRUE;
    }
    if (executeRange != nullptr) {
      const std::function<void(UINT)> handler = executeRange->handler;
      handler(id);
      return TRUE;
    }
    return FALSE;
  }
  const auto update = m_updates.find(id);
  if (update != m_updates.end()) {
    const std::function<void(CCmdUI*)> handler = update->second;
    handler(ui);
    return TRUE;
  }
  if (const UpdateRange* updateRange = FindRange(m_updateRanges, id)) {
    const std::function<void(CCmdUI*)> handler = updateRange->handler;
    handler(ui);
    return TRUE;
  }
  if (command != m_commands.end() || executeRange != nullptr) {
    ui->Enable(TRUE);
    return TRUE;
  }
  return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, CCmdUI* ui) { return HandleHere(id, ui); }
