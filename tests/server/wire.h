// Profile content and requests for the server tests, as the wire carries them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "proto/ctadmin.pb.h"
#include "s100/ctcontainers.h"

namespace servertest {

// A serialised set with the value under Line_Number and, when given, the
// text under Line_Name.
inline std::string ProfileBytes(int32_t value, const std::optional<std::string>& text = std::nullopt) {
  ctadmin::v1::DataElement e;
  e.set_type(CT_TYPE_KVSET);
  auto* a = e.mutable_kvset()->add_pairs();
  a->set_key(0x02000500);  // Line_Number
  a->mutable_value()->set_type(CT_TYPE_INT);
  a->mutable_value()->set_int_value(value);
  if (text) {
    auto* b = e.mutable_kvset()->add_pairs();
    b->set_key(0x02000501);  // Line_Name
    b->mutable_value()->set_type(CT_TYPE_STRING);
    b->mutable_value()->set_string_value(*text);
  }
  return e.SerializeAsString();
}

// A request to add or update a profile.
inline ctadmin::v1::ProfileRequest ProfileRequest(const std::string& session, const std::string& name,
                                                  const std::string& cls, const std::string& content) {
  ctadmin::v1::ProfileRequest req;
  req.set_session(session);
  req.set_name(name);
  req.set_profile_class(cls);
  req.set_content(content);
  return req;
}

// A request for the profiles of a class, or for one profile's content.
inline ctadmin::v1::ProfileInfoRequest InfoRequest(const std::string& session, const std::string& name,
                                                   const std::string& cls, bool one) {
  ctadmin::v1::ProfileInfoRequest req;
  req.set_session(session);
  if (one) req.set_name(name);
  req.set_profile_class(cls);
  req.set_one(one);
  return req;
}

// Opens a session on a server core; empty when it fails.
template <class Core>
std::string OpenSessionOn(Core& core) {
  ctadmin::v1::OpenSessionRequest req;
  ctadmin::v1::OpenSessionReply reply;
  core.OpenSession(req, &reply);
  return reply.error() == 0 ? reply.session() : std::string();
}

}  // namespace servertest
