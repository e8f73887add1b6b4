#include "platform/cmdtarget.h"

CCmdTarget::~CCmdTarget() = default;

void CCmdTarget::AddCommand(UINT id, std::function<void()> handler) { m_commands[id] = std::move(handler); }

void CCmdTarget::AddCommandUpdate(UINT id, std::function<void(CCmdUI*)> handler) {
  m_updates[id] = std::move(handler);
}

void CCmdTarget::AddCommandRange(UINT first, UINT last, std::function<void(UINT)> handler) {
  if (last < first) return;
  Range& range = m_ranges[first];
  range.last = last;
  range.execute = std::move(handler);
}

void CCmdTarget::AddCommandUpdateRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler) {
  if (last < first) return;
  Range& range = m_ranges[first];
  range.last = last;
  range.update = std::move(handler);
}

BOOL CCmdTarget::HandleHere(UINT id, CCmdUI* ui) {
  const auto command = m_commands.find(id);
  const auto update = m_updates.find(id);
  // The range that holds id, if any: the last one starting at or before it.
  const Range* range = nullptr;
  auto it = m_ranges.upper_bound(id);
  if (it != m_ranges.begin()) {
    --it;
    if (id <= it->second.last) range = &it->second;
  }
  const bool canExecute = command != m_commands.end() || (range != nullptr && range->execute);
  if (ui == nullptr) {
    if (command != m_commands.end()) {
      // Copy: the handler may change this target's command map.
      const std::function<void()> handler = command->second;
      handler();
      return TRUE;
    }
    if (range != nullptr && range->execute) {
      const std::function<void(UINT)> handler = range->execute;
      handler(id);
      return TRUE;
    }
    return FALSE;
  }
  if (update != m_updates.end()) {
    const std::function<void(CCmdUI*)> handler = update->second;
    handler(ui);
    return TRUE;
  }
  if (range != nullptr && range->update) {
    const std::function<void(CCmdUI*)> handler = range->update;
    handler(ui);
    return TRUE;
  }
  if (canExecute) {
    ui->Enable(TRUE);
    return TRUE;
  }
  return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, CCmdUI* ui) { return HandleHere(id, ui); }
