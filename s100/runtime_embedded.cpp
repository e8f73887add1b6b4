#include "s100/runtime_embedded.h"

#include <filesystem>
#include <map>
#include <mutex>

#include "s100/cterrors.h"
#include "server/core.h"

namespace ct::runtime {
namespace {

struct CoreCache {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<ctserver::ServerCore>> cores;
};

// Never destroyed: sessions may outlive static destruction at exit.
CoreCache& Cache() {
  static CoreCache* cache = new CoreCache;
  return *cache;
}

// The same file under two spellings shares one core.
std::string CanonicalPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  if (ec) return path;
  return canonical.string();
}

class EmbeddedWatch final : public WatchCall {
 public:
  EmbeddedWatch(std::shared_ptr<ctserver::ServerCore> core, uint64_t id) : core_(std::move(core)), id_(id) {}
  ~EmbeddedWatch() override { Stop(); }
  void Stop() override {
    if (id_ != 0) core_->Unwatch(id_);
    id_ = 0;
  }

 private:
  std::shared_ptr<ctserver::ServerCore> core_;
  uint64_t id_;
};

class EmbeddedBackend final : public Backend {
 public:
  explicit EmbeddedBackend(std::shared_ptr<ctserver::ServerCore> core) : core_(std::move(core)) {}

  // The core's own watch table raises the events, in-process.
  std::unique_ptr<WatchCall> WatchProfile(const ctadmin::v1::WatchProfileRequest& request, WatchSink sink) override {
    const uint64_t id = core_->WatchProfile(request, std::move(sink));
    return std::make_unique<EmbeddedWatch>(core_, id);
  }

#define CT_EMBEDDED_RPC(name, req, rep)                                              \
  uint32_t name(const ctadmin::v1::req& request, ctadmin::v1::rep* reply) override { \
    core_->name(request, reply);                                                     \
    return 0;                                                                        \
  }
  CT_RUNTIME_RPCS(CT_EMBEDDED_RPC)
#undef CT_EMBEDDED_RPC

 private:
  std::shared_ptr<ctserver::ServerCore> core_;
};

}  // namespace

std::unique_ptr<Backend> MakeEmbeddedBackend(const ServerAddress& address, uint32_t* error) {
  const std::string path = CanonicalPath(address.target);
  CoreCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto found = cache.cores.find(path);
  if (found == cache.cores.end()) {
    ctserver::CoreOptions options;
    options.dbPath = path;
    std::string why;
    std::shared_ptr<ctserver::ServerCore> core = ctserver::ServerCore::Open(options, &why);
    if (!core) {
      if (error) *error = kErrConnect;
      return nullptr;
    }
    found = cache.cores.emplace(path, std::move(core)).first;
  }
  return std::make_unique<EmbeddedBackend>(found->second);
}

void ReleaseEmbeddedCores() {
  CoreCache& cache = Cache();
  std::map<std::string, std::shared_ptr<ctserver::ServerCore>> released;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    released.swap(cache.cores);
  }
}

}  // namespace ct::runtime
