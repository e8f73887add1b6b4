// The CT server core: the profile store, the symbol table, the services,
// the server level and processes, and the sessions.  It answers the
// protocol's requests without any transport, so ctserver serves it over
// gRPC and the client runtime's embedded mode runs it in-process.
//
// Every method is safe to call from several threads at once.  A method never
// throws; a failure is the S.100 error code in the reply's `error` field.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "proto/ctadmin.pb.h"

namespace ctserver {

// The data folder's name beside the database when none is given.
inline constexpr const char* kDefaultDataFolder = "transfer";

struct CoreOptions {
  std::string dbPath;       // SQLite file (created when missing) or a postgresql:// URI
  std::string dbPasswordFile;  // PostgreSQL only: the file whose first line is the password
  std::string symbolsPath;  // symbol table text file; empty: the built-in default table
  std::string dataDir;      // folder for import and export; empty: kDefaultDataFolder beside the database
                            // (in the working folder for PostgreSQL)
                            // (the working folder's for PostgreSQL)
  bool networkService = false;  // a network server (ctserver) serves this core; shown as a server process
};

class ServerCore {
 public:
  // Opens (or creates and migrates) the database and loads the symbol table.
  // On failure returns null and says why in *error.
  static std::unique_ptr<ServerCore> Open(const CoreOptions& options, std::string* error);
  virtual ~ServerCore() = default;

  virtual void OpenSession(const ctadmin::v1::OpenSessionRequest& req, ctadmin::v1::OpenSessionReply* reply) = 0;
  virtual void CloseSession(const ctadmin::v1::CloseSessionRequest& req, ctadmin::v1::CloseSessionReply* reply) = 0;

  virtual void GetProfileInfo(const ctadmin::v1::ProfileInfoRequest& req, ctadmin::v1::ProfileInfoReply* reply) = 0;
  virtual void AddProfile(const ctadmin::v1::ProfileRequest& req, ctadmin::v1::ProfileReply* reply) = 0;
  virtual void UpdateProfile(const ctadmin::v1::ProfileRequest& req, ctadmin::v1::ProfileReply* reply) = 0;
  virtual void RemoveProfile(const ctadmin::v1::RemoveProfileRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void ImportProfile(const ctadmin::v1::TransferProfileRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void ExportProfile(const ctadmin::v1::TransferProfileRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void ListRevisions(const ctadmin::v1::RevisionsRequest& req, ctadmin::v1::RevisionsReply* reply) = 0;
  virtual void GetRevision(const ctadmin::v1::RevisionRequest& req, ctadmin::v1::RevisionReply* reply) = 0;
  virtual void RestoreRevision(const ctadmin::v1::RevisionRequest& req, ctadmin::v1::RevisionReply* reply) = 0;

  // Watches of one profile.  The sink gets the first event (the current
  // revision, or removed) before WatchProfile returns, then one event per
  // successful write to the profile, in the order of the writes.  It is
  // called with the watch table locked, so it must only hand the event on
  // (never block, never call the core).  Answers the watch's id, or 0 when
  // the request is refused; then the sink got one event with the error.
  using ProfileEventSink = std::function<void(const ctadmin::v1::ProfileEvent&)>;
  virtual uint64_t WatchProfile(const ctadmin::v1::WatchProfileRequest& req, ProfileEventSink sink) = 0;
  // Ends a watch without a last event; when it returns the sink is not
  // running and is not called again.
  virtual void Unwatch(uint64_t id) = 0;
  // Ends every watch with a last event carrying `error` (the server stops).
  virtual void EndWatches(uint32_t error) = 0;

  virtual void GetSymbolTable(const ctadmin::v1::SymbolTableRequest& req, ctadmin::v1::SymbolTableReply* reply) = 0;

  virtual void AddService(const ctadmin::v1::ServiceRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void UpdateService(const ctadmin::v1::ServiceRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void RemoveService(const ctadmin::v1::ServiceNameRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void StartService(const ctadmin::v1::ServiceNameRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void StopService(const ctadmin::v1::StopServiceRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void GetServiceState(const ctadmin::v1::ServiceStateRequest& req, ctadmin::v1::ServiceStateReply* reply) = 0;

  virtual void GetServerLevel(const ctadmin::v1::ServerLevelRequest& req, ctadmin::v1::ServerLevelReply* reply) = 0;
  virtual void SetTargetServerLevel(const ctadmin::v1::SetTargetLevelRequest& req, ctadmin::v1::StatusReply* reply) = 0;
  virtual void GetServerProcessInfo(const ctadmin::v1::ServerProcessRequest& req, ctadmin::v1::ServerProcessReply* reply) = 0;
};

}  // namespace ctserver
