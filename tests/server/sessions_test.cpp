// The session registry: ids, closing, and its bound on open sessions.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "server/sessions.h"

using ctserver::SessionRegistry;

TEST(ServerSessions, IdsAreRandomHexAndCloseOnce) {
  SessionRegistry r;
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) {
    std::string id = r.Open("Main", "test");
    ASSERT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 200u);
  const std::string id = *ids.begin();
  EXPECT_TRUE(r.Touch(id));
  EXPECT_TRUE(r.Close(id));
  EXPECT_FALSE(r.Close(id));
  EXPECT_FALSE(r.Touch(id));
  EXPECT_FALSE(r.Touch(""));
  EXPECT_EQ(r.Count(), 199u);
}

TEST(ServerSessions, AFullRegistryDropsOnlyIdleSessions) {
  SessionRegistry busy(2, std::chrono::hours(1));
  std::string a = busy.Open("", ""), b = busy.Open("", "");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_TRUE(busy.Open("", "").empty());  // nobody idle long enough
  EXPECT_TRUE(busy.Touch(a));
  EXPECT_TRUE(busy.Touch(b));

  // On a clock the test moves: c and d go idle past the limit, b2 is used
  // just within it.
  auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  SessionRegistry idle(3, std::chrono::seconds(60), [&now] { return now; });
  std::string c = idle.Open("", ""), d = idle.Open("", ""), b2 = idle.Open("", "");
  now += std::chrono::seconds(30);
  EXPECT_TRUE(idle.Touch(b2));
  now += std::chrono::seconds(31);
  EXPECT_FALSE(idle.Open("", "").empty());  // room made by dropping c and d
  std::string e = idle.Open("", "");
  EXPECT_FALSE(e.empty());
  EXPECT_TRUE(idle.Touch(e));
  EXPECT_FALSE(idle.Touch(c));
  EXPECT_FALSE(idle.Touch(d));
  EXPECT_TRUE(idle.Touch(b2));
  EXPECT_TRUE(idle.Open("", "").empty());  // full again, and nobody idle
}
