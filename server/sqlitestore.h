// The store in one SQLite file.
//
// The file runs in WAL mode with synchronous=FULL and every write is one
// transaction.  Writes go through one connection in turn, reads use a small
// pool of their own connections.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/store.h"

namespace ctserver {

class Connection;

class SqliteStore final : public Store {
 public:
  // The schema version this build writes.
  static constexpr int kSchemaVersion = 2;

  // Opens or creates the file and brings its schema up to date.
  static std::unique_ptr<SqliteStore> Open(const std::string& path, std::string* error);
  ~SqliteStore() override;

  uint32_t AddProfile(const std::string& name, const std::string& cls, const std::string& content,
                      uint64_t* revision) override;
  uint32_t UpdateProfile(const std::string& name, const std::string& cls, const std::string& content,
                         uint64_t* revision, uint64_t expected = 0) override;
  uint32_t PutProfile(const std::string& name, const std::string& cls, const std::string& content,
                      uint64_t* revision) override;
  uint32_t RemoveProfile(const std::string& name, const std::string& cls, uint64_t expected = 0) override;
  uint32_t GetProfile(const std::string& name, const std::string& cls, ProfileRow* out) override;
  uint32_t ListProfiles(const std::string& cls, std::vector<ProfileRow>* out) override;

  uint32_t ListRevisions(const std::string& name, const std::string& cls, std::vector<RevisionRow>* out) override;
  uint32_t GetRevision(const std::string& name, const std::string& cls, uint64_t revision, std::string* content) override;
  uint32_t RestoreRevision(const std::string& name, const std::string& cls, uint64_t revision,
                           uint64_t* newRevision) override;

  uint32_t AddService(const ServiceRow& row) override;
  uint32_t UpdateService(const std::string& name, const std::string& config, uint32_t mode) override;
  uint32_t RemoveService(const std::string& name) override;
  uint32_t SetServiceStarted(const std::string& name, bool started, uint32_t stopValue) override;
  uint32_t ListServices(const std::string& name, std::vector<ServiceRow>* out) override;

  uint32_t GetLevel(int32_t* level, int32_t* target) override;
  uint32_t SetLevel(int32_t level, int32_t target) override;

  uint32_t SetProcesses(const std::vector<ProcessRow>& rows) override;
  uint32_t ListProcesses(const std::string& name, std::vector<ProcessRow>* out) override;

  // SQLite's own integrity check of the file.
  std::string IntegrityCheck() override;

 private:
  SqliteStore() = default;
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
};

}  // namespace ctserver
