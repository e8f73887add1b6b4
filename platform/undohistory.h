// CUndoHistory: the changes a document can take back and make again, on
// QUndoStack.  A step is recorded after its change has been made; the
// history then undoes and redoes it on request.  The history knows the
// state that was last stored (its clean state) and keeps at most a byte
// budget of steps, dropping the oldest first.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/cstring.h"

class QUndoStack;

class CUndoStep {
 public:
  virtual ~CUndoStep() = default;
  virtual void Undo() = 0;
  virtual void Redo() = 0;
  // What the step did, for the menu ("Delete", "Paste").
  virtual CString Name() const = 0;
  // About how much memory the step keeps.
  virtual size_t Bytes() const = 0;
};

class CUndoHistory {
 public:
  static constexpr size_t kDefaultByteLimit = size_t{256} << 20;

  CUndoHistory();
  ~CUndoHistory();
  CUndoHistory(const CUndoHistory&) = delete;
  CUndoHistory& operator=(const CUndoHistory&) = delete;

  // Records a change already made; the steps undone before it are gone.
  void Add(std::unique_ptr<CUndoStep> step);
  bool CanUndo() const;
  bool CanRedo() const;
  CString UndoName() const;
  CString RedoName() const;
  void Undo();
  void Redo();

  // Forgets every step; the present state is the clean one.
  void Clear();
  // The present state is the stored one.
  void SetClean();
  // No state is the stored one: IsClean() is false until SetClean().
  void ResetClean();
  bool IsClean() const;

  int Count() const;
  int Index() const;
  size_t Bytes() const { return m_nBytes; }
  // The budget; applies from the next Add.
  void SetByteLimit(size_t bytes) { m_nByteLimit = bytes; }

 private:
  class Command;
  // Drops the oldest steps while over the budget (the newest always stays).
  void Trim();
  size_t BytesOf(int index) const;

  std::unique_ptr<QUndoStack> m_stack;
  size_t m_nByteLimit = kDefaultByteLimit;
  size_t m_nBytes = 0;  // what the steps on the stack keep, kept as they come and go
  bool m_bReplaying = false;  // steps are re-added or moved over without running
};
