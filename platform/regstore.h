// The settings file on disk: the document as last read (re-read whenever the
// file changes) and atomic changes under a lock.
//
// A change takes an exclusive flock on "<file>.lock" beside the file,
// re-reads the file, applies the change, writes a temporary file in the
// same folder (with the file's owner and permissions), fsyncs it, renames
// it over the file and fsyncs the folder.  A file reached through a
// symbolic link is replaced, and locked, where the link points.
// Readers take no lock: the rename lets them see the old or the new file,
// never a part of one.
//
// Not thread-safe by itself; the registry calls serialise on one mutex.
#pragma once

#include "platform/regformat.h"

#include <ctime>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// $HALDEN_REGISTRY when set and not empty, else /etc/velcor/halden-client.reg.
std::string RegFilePath();

// Reads and parses a settings file with the size limit.  A missing file is
// an empty document (true); an unreadable or oversized one gives false,
// with errnoOut set (ENOENT is never reported).
bool RegReadFile(const std::string& path, RegDocument& doc, std::vector<RegDiagnostic>* diags, int* errnoOut);

class RegFileStore {
 public:
  // The current document: re-read when the path, or the file's inode,
  // size, modification or change time differ from what was read last, and
  // when the file was changed within a second of that read (file times are
  // coarse: a change in the same tick would not show), unless its bytes are
  // still those that were parsed.
  const RegDocument& Current();
  // What the last read of the file reported.
  const std::vector<RegDiagnostic>& Diagnostics() const { return diags_; }
  // Applies change to the current file under the lock and replaces the
  // file when change answers ERROR_SUCCESS; otherwise the file is untouched.
  LONG Modify(const std::function<LONG(RegDocument&)>& change);
  // Forgets what was read; the next call re-reads.
  void Invalidate() { loaded_ = false; }

 private:
  struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const FileId& o) const;
  };
  static FileId IdOf(const std::string& path);
  static bool IsRecent(const FileId& id);

  bool loaded_ = false;
  bool recent_ = false;  // the file changed too close to the read to trust its times
  std::string path_;
  FileId id_;
  RegDocument doc_;
  std::string bytes_;  // the text doc_ was parsed from
  bool haveBytes_ = false;
  std::vector<RegDiagnostic> diags_;
};

// What the registry calls' last read of the settings file reported (bad
// lines with their numbers), for tools that check a file.
std::vector<RegDiagnostic> RegFileDiagnostics();
