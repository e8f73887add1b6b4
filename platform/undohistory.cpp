#include "platform/undohistory.h"

#include <QUndoCommand>
#include <QUndoStack>
#include <vector>

#include "platform/qtconvert.h"

// The stack's command: runs its step, except when the history re-adds or
// moves over steps without changing anything, and on the push of a change
// that has already been made.
class CUndoHistory::Command : public QUndoCommand {
 public:
  Command(std::shared_ptr<CUndoStep> step, const bool* replaying)
      : QUndoCommand(ToQString(step->Name())), m_step(std::move(step)), m_replaying(replaying) {}
  void undo() override {
    if (!*m_replaying) m_step->Undo();
  }
  void redo() override {
    if (m_pushed && !*m_replaying) m_step->Redo();
    m_pushed = true;
  }
  const std::shared_ptr<CUndoStep>& Step() const { return m_step; }

 private:
  std::shared_ptr<CUndoStep> m_step;
  const bool* m_replaying;
  bool m_pushed = false;  // the first redo is the push of a change already made
};

CUndoHistory::CUndoHistory() : m_stack(std::make_unique<QUndoStack>()) {}
CUndoHistory::~CUndoHistory() = default;

void CUndoHistory::Add(std::unique_ptr<CUndoStep> step) {
  if (!step) return;
  // The push discards the steps that were undone.
  for (int i = m_stack->index(); i < m_stack->count(); ++i) m_nBytes -= BytesOf(i);
  m_nBytes += step->Bytes();
  m_stack->push(new Command(std::shared_ptr<CUndoStep>(std::move(step)), &m_bReplaying));
  Trim();
}

bool CUndoHistory::CanUndo() const { return m_stack->canUndo(); }
bool CUndoHistory::CanRedo() const { return m_stack->canRedo(); }
CString CUndoHistory::UndoName() const { return FromQString(m_stack->undoText()); }
CString CUndoHistory::RedoName() const { return FromQString(m_stack->redoText()); }
void CUndoHistory::Undo() { m_stack->undo(); }
void CUndoHistory::Redo() { m_stack->redo(); }
void CUndoHistory::Clear() {
  m_stack->clear();
  m_nBytes = 0;
}
void CUndoHistory::SetClean() { m_stack->setClean(); }
void CUndoHistory::ResetClean() { m_stack->resetClean(); }
bool CUndoHistory::IsClean() const { return m_stack->isClean(); }
int CUndoHistory::Count() const { return m_stack->count(); }
int CUndoHistory::Index() const { return m_stack->index(); }

size_t CUndoHistory::BytesOf(int index) const {
  return static_cast<const Command*>(m_stack->command(index))->Step()->Bytes();
}

// QUndoStack cannot drop its oldest commands, so the kept steps are added
// anew to the emptied stack without running, and the clean state is put
// back where it was (or forgotten when it was among the dropped).
void CUndoHistory::Trim() {
  const int count = m_stack->count();
  int drop = 0;
  while (m_nBytes > m_nByteLimit && drop < count - 1) m_nBytes -= BytesOf(drop++);
  if (drop == 0) return;
  // After an Add every step is on the undo side, so the dropped are the oldest changes.
  const int clean = m_stack->cleanIndex();
  std::vector<std::shared_ptr<CUndoStep>> kept;
  for (int i = drop; i < count; ++i) kept.push_back(static_cast<const Command*>(m_stack->command(i))->Step());
  m_bReplaying = true;
  m_stack->clear();
  for (auto& step : kept) m_stack->push(new Command(step, &m_bReplaying));
  const int index = m_stack->index();
  if (clean - drop >= 0) {
    m_stack->setIndex(clean - drop);
    m_stack->setClean();
    m_stack->setIndex(index);
  } else {
    m_stack->resetClean();
  }
  m_bReplaying = false;
}
