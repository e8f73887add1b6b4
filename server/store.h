// The server's persistent state in one SQLite file: profiles with their
// revisions, services, the server level and the server processes.
//
// The file runs in WAL mode with synchronous=FULL and every write is one
// transaction, so a write that has returned survives a crash of the process
// or the machine.  Methods answer with 0 or an S.100 error code and are safe
// to call from several threads: writes go through one connection in turn,
// reads use a small pool of their own connections.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace ctserver {

class Connection;

struct ProfileRow {
  std::string name;
  std::string profileClass;
  std::string content;  // serialised DataElement; empty in listings
  uint64_t revision = 0;
  int64_t timeMs = 0;
};

struct RevisionRow {
  uint64_t revision = 0;
  int64_t timeMs = 0;  // when it was stored; 0 when that was not recorded
  bool current = false;
};

struct ServiceRow {
  std::string name;
  std::string config;  // serialised DataElement (KVSet)
  bool started = false;
  uint32_t mode = 0;       // start-mode symbol
  uint32_t stopValue = 0;  // the value of the last stop
};

struct ProcessRow {
  std::string name;
  bool running = false;
};

class Store {
 public:
  // Revisions kept per profile besides its current content.
  static constexpr int kKeptRevisions = 20;
  // The schema version this build writes.
  static constexpr int kSchemaVersion = 2;

  // Opens or creates the file and brings its schema up to date.
  static std::unique_ptr<Store> Open(const std::string& path, std::string* error);
  ~Store();
  Store(const Store&) = delete;
  // The clock that stamps writes (milliseconds since the epoch); the system
  // clock unless set.  Set it before the store is shared between threads.
  void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }
  Store& operator=(const Store&) = delete;

  // ---- profiles ----
  // Adds a profile; a name taken by any class gives kErrNameExists.
  uint32_t AddProfile(const std::string& name, const std::string& cls, const std::string& content,
                      uint64_t* revision);
  // Replaces the content of the profile of that name and class, keeping the
  // old content as a revision; none gives kErrNotFound.
  uint32_t UpdateProfile(const std::string& name, const std::string& cls, const std::string& content,
                         uint64_t* revision);
  // Update when the profile of that name and class exists, else add.
  uint32_t PutProfile(const std::string& name, const std::string& cls, const std::string& content,
                      uint64_t* revision);
  uint32_t RemoveProfile(const std::string& name, const std::string& cls);
  // One profile with its content; an empty class matches every class.
  uint32_t GetProfile(const std::string& name, const std::string& cls, ProfileRow* out);
  // Names and classes (no content) of one class, or of all when cls is
  // empty, ordered by name.
  uint32_t ListProfiles(const std::string& cls, std::vector<ProfileRow>* out);

  // Newest first; the first is the current content.
  uint32_t ListRevisions(const std::string& name, const std::string& cls, std::vector<RevisionRow>* out);
  uint32_t GetRevision(const std::string& name, const std::string& cls, uint64_t revision, std::string* content);
  // Makes the content of an old revision current (as an update would).
  uint32_t RestoreRevision(const std::string& name, const std::string& cls, uint64_t revision,
                           uint64_t* newRevision);

  // ---- services ----
  uint32_t AddService(const ServiceRow& row);  // kErrServiceExists when taken
  uint32_t UpdateService(const std::string& name, const std::string& config, uint32_t mode);
  uint32_t RemoveService(const std::string& name);
  uint32_t SetServiceStarted(const std::string& name, bool started, uint32_t stopValue);
  // One service, or all (in the order they were added) when name is empty.
  uint32_t ListServices(const std::string& name, std::vector<ServiceRow>* out);

  // ---- server level ----
  uint32_t GetLevel(int32_t* level, int32_t* target);
  uint32_t SetLevel(int32_t level, int32_t target);

  // ---- server processes ----
  // Records the running flag of each process, adding those not yet known.
  uint32_t SetProcesses(const std::vector<ProcessRow>& rows);
  uint32_t ListProcesses(const std::string& name, std::vector<ProcessRow>* out);

  // "ok" when the file is sound, otherwise SQLite's findings.
  std::string IntegrityCheck();

 private:
  Store() = default;
  int64_t NowMs() const;
  class ReadLease;
  ReadLease Reader();
  // Runs `change` (the writer's connection) inside one transaction, one
  // writer at a time, and commits when it answers 0.
  template <class Change>
  uint32_t Write(Change change);
  // Runs `read` (a reader's connection) inside one read transaction, so that
  // everything it reads belongs to one state of the store.
  template <class Read>
  uint32_t ReadTogether(Read read);
  uint32_t UpdateLocked(Connection& c, int64_t id, uint64_t oldRevision, const std::string& content,
                        uint64_t* revision);

  std::mutex writeMutex_;
  std::unique_ptr<Connection> writer_;
  std::mutex poolMutex_;
  std::vector<std::unique_ptr<Connection>> idleReaders_;
  std::string path_;
  std::function<int64_t()> clock_;
};

}  // namespace ctserver
