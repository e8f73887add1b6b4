// The revisions a server keeps of a profile, through MultiAdminSession
// against an embedded server and a real ctserver: their order and current
// flag, each revision's content, and the message id of every failure.
#include <gtest/gtest.h>

#include <vector>

#include "common/multises.h"
#include "tests/common/sessions_fixture.h"

using namespace sessions_test;

namespace {

class SessionHistory : public SessionsTest {
 protected:
  MultiAdminSession multi;
};

TEST_P(SessionHistory, RevisionsComeNewestFirstAndEachKeepsItsContent) {
  constexpr int kStores = 3;
  for (int32_t variant = 0; variant < kStores; ++variant) {
    Kvs content;
    FillEveryKind(content, variant);
    ASSERT_TRUE(multi.SaveProfile("A", "Fax", "Kept", content, variant == 0 ? 0 : 1)) << variant;
  }
  std::vector<CT_RevisionInfo> revisions;
  ASSERT_TRUE(multi.ListRevisions("A", "Kept", "Fax", &revisions));
  ASSERT_EQ(revisions.size(), static_cast<size_t>(kStores));
  for (size_t i = 0; i < revisions.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(revisions[i].current != 0, i == 0) << "only the newest is current";
    if (i > 0) {
      EXPECT_LT(revisions[i].revision, revisions[i - 1].revision);
      EXPECT_LE(revisions[i].timeUnixMs, revisions[i - 1].timeUnixMs);
    }
    // Newest first: revision i holds what the (kStores - 1 - i)-th store wrote.
    Kvs expected, got;
    FillEveryKind(expected, static_cast<int32_t>(kStores - 1 - i));
    ASSERT_TRUE(multi.GetRevision("A", "Kept", "Fax", revisions[i].revision, got));
    std::string why;
    EXPECT_TRUE(SameContent(expected, got, &why)) << why;
  }
}

TEST_P(SessionHistory, FailuresHaveTheirIds) {
  Kvs content;
  CTkvs_PutInt(content, 0x7001, 1, nullptr);
  ASSERT_TRUE(multi.SaveProfile("A", "Fax", "One", content, 0));
  std::vector<CT_RevisionInfo> revisions;
  ASSERT_TRUE(multi.ListRevisions("A", "One", "Fax", &revisions));
  ASSERT_EQ(revisions.size(), 1u);
  const uint64_t kept = revisions[0].revision;

  struct Case {
    const char* what;
    const char* server;
    const char* name;
    uint64_t revision;
    uint32_t listId;      // 0: the list succeeds
    uint32_t revisionId;  // 0: the revision is read
  } cases[] = {
      {"kept revision", "A", "One", kept, 0, 0},
      {"unknown profile", "A", "Missing", kept, IDS_ADM_HISTORY_FAILED, IDS_ADM_REVISION_FAILED},
      {"unknown revision", "A", "One", kept + 1000, 0, IDS_ADM_REVISION_FAILED},
      {"unreachable server", "Down", "One", kept, IDS_ADM_COULD_NOT_CONNECT, IDS_ADM_COULD_NOT_CONNECT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    revisions.assign(2, CT_RevisionInfo{7, 7, 1});
    EXPECT_EQ(multi.ListRevisions(c.server, c.name, "Fax", &revisions) != 0, c.listId == 0);
    if (c.listId != 0) {
      EXPECT_EQ(multi.LastError(), c.listId);
      EXPECT_TRUE(revisions.empty()) << "a failure leaves no stale revisions";
    }
    Kvs got;
    EXPECT_EQ(multi.GetRevision(c.server, c.name, "Fax", c.revision, got) != 0, c.revisionId == 0);
    if (c.revisionId != 0) {
      EXPECT_EQ(multi.LastError(), c.revisionId);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, SessionHistory, ::testing::Values(Where::Embedded, Where::Process), WhereName);

}  // namespace
