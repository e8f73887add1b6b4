// The store in a PostgreSQL database that any number of servers share.
//
// Every write is one transaction on a connection of a small pool.  Names are
// unique by constraint, and a profile's row is locked while its revision
// number moves on, so concurrent writers from several servers neither both
// add one name nor number two revisions alike.  A connection that drops is
// replaced on the next call; the calls in between answer kErrIo.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/store.h"

namespace ctserver {

class PgConnection;

class PgStore final : public Store {
 public:
  // The schema version this build writes.
  static constexpr int kSchemaVersion = 1;
  // Connections one store opens at most; a call finding them all busy
  // waits up to kConnectionWaitMs for one, then answers kErrIo, so that
  // several servers stay within the database's max_connections.
  static constexpr size_t kMaxConnections = 16;
  static constexpr int kConnectionWaitMs = 10000;

  // Connects with a libpq connection URI (and the password, when not empty)
  // and creates or migrates the schema under an advisory lock, so that
  // servers starting together do not race.
  static std::unique_ptr<PgStore> Open(const std::string& uri, const std::string& password, std::string* error);
  ~PgStore() override;

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
  uint32_t GetRevision(const std::string& name, const std::string& cls, uint64_t revision,
                       std::string* content) override;
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
  // Whether the database answers and the kept revisions agree with the
  // profiles they belong to.
  std::string IntegrityCheck() override;

 private:
  PgStore() = default;
  class Lease;
  std::unique_ptr<PgConnection> Connect(std::string* error);
  Lease Acquire();
  // Runs `work` inside one transaction (read-only and on one snapshot when
  // `write` is false) and commits when it answers 0.  A transaction that
  // lost a serialisation race, or found its pooled connection gone before
  // doing anything, is run again.
  template <class Work>
  uint32_t Transact(bool write, Work work);
  uint32_t UpdateLocked(PgConnection& c, int64_t id, uint64_t oldRevision, const std::string& content,
                        uint64_t* revision);

  std::string uri_;
  std::string password_;
  std::mutex poolMutex_;
  std::condition_variable poolFreed_;
  std::vector<std::unique_ptr<PgConnection>> idle_;
  size_t open_ = 0;  // connections open, idle or leased
};

}  // namespace ctserver
