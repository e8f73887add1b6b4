// Every sample of the fuzz corpus goes through the reader: nothing crashes,
// what reads writes and reads back to the same element, what fails leaves
// nothing behind.  Files named valid-* must read, invalid-* must not.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fuzz/deif_fuzz_translator.h"
#include "tests/s100/deif_support.h"

using namespace deif_test;

namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  if (DIR* d = opendir(QUELT_TEST_SOURCE_DIR "/tests/corpus/deif")) {
    while (dirent* ent = readdir(d)) {
      if (ent->d_name[0] != '.') files.push_back(ent->d_name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(DeifCorpus, EverySampleReadsSafelyAndValidOnesRoundTrip) {
  std::vector<std::string> files = CorpusFiles();
  ASSERT_GE(files.size(), 10u) << "corpus missing at " QUELT_TEST_SOURCE_DIR "/tests/corpus/deif";
  int valid = 0, invalid = 0;
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    std::ifstream in(std::string(QUELT_TEST_SOURCE_DIR "/tests/corpus/deif") + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();

    FuzzNames names;
    const size_t before = LiveHandles();
    Element e;
    QV_Status st = ReadText(text, &e, FuzzNames::Translate, &names);
    if (name.rfind("valid-", 0) == 0) {
      EXPECT_EQ(st, QV_OK) << std::hex << "error 0x" << st.error;
    }
    if (name.rfind("invalid-", 0) == 0) {
      EXPECT_NE(st, QV_OK);
    }
    if (st != QV_OK) {
      ++invalid;
      EXPECT_EQ(e.e.type, CT_TYPE_NONE);
      EXPECT_EQ(LiveHandles(), before);
      continue;
    }
    ++valid;
    std::string written = Write(e.e, FuzzNames::Translate, &names);
    Element back;
    ASSERT_EQ(ReadText(written, &back, FuzzNames::Translate, &names), QV_OK) << written;
    std::string why;
    EXPECT_TRUE(SameElement(e.e, back.e, &why)) << why;
  }
  EXPECT_GT(valid, 0);
  EXPECT_GT(invalid, 0);
}

}  // namespace
