#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "ACLTestSupport.h"

namespace {

CACLPermissionList Parse(const std::string& text, int inherited = 0) {
  CACL acl;
  CACLPermissionList records;
  acl.TextToPermissions(text, records, inherited);
  return records;
}

CACLPermissionRefs Refs(const CACLPermissionList& records) {
  CACLPermissionRefs refs;
  for (const auto& record : records) refs.push_back(record.get());
  return refs;
}

std::string Render(const CACLPermissionList& records, int inherited = 0) {
  CACL acl;
  std::string text = "replaced";
  acl.PermissionsToText(Refs(records), text, inherited);
  return text;
}

}  // namespace

TEST(PermissionText, RecordsTakeTheirBlockContext) {
  const auto records = Parse(
      "  <Limit GET, 'POST'>\r\n"
      "\t<Files 'a.htm', 'b.htm'>\r\n"
      "   require user a \"b c\" d\r\n"
      "</Files>\r\n"
      "<Directory anything>\n"
      "require group \"\" g1,g2\n"
      "require nobody x\n"
      "</Directory>\n"
      "</Limit>\n"
      "# <Files x>\n"
      "<Files *.asp>\nrequire valid-user\n</Files>\n");
  ASSERT_EQ(records.size(), 3u);
  const CACLPermission& user = *records[0];
  EXPECT_EQ(user.m_nScope, CACLPermission::FilesScope);
  EXPECT_EQ(user.m_nType, CACLPermission::User);
  EXPECT_EQ(acltest::Strings(user.m_Methods), (std::vector<std::string>{"GET", "POST"}));
  EXPECT_EQ(acltest::Strings(user.m_Files), (std::vector<std::string>{"a.htm", " ", "b.htm"}));
  EXPECT_EQ(acltest::Strings(user.m_Names), (std::vector<std::string>{"b c", "a", "d"}));
  const CACLPermission& group = *records[1];
  EXPECT_EQ(group.m_nScope, CACLPermission::DirectoryScope);
  EXPECT_TRUE(group.m_Files.empty());
  EXPECT_EQ(acltest::Strings(group.m_Names), (std::vector<std::string>{"g1", "g2"}));
  const CACLPermission& any = *records[2];
  EXPECT_EQ(any.m_nType, CACLPermission::ValidUser);
  EXPECT_TRUE(any.m_Methods.empty()) << "</Limit> empties the methods";
  EXPECT_TRUE(any.m_Names.empty());
}

TEST(PermissionText, RecordsWithoutPlaceOrNamesAreDropped) {
  EXPECT_TRUE(Parse("require valid-user\n").empty());
  EXPECT_TRUE(Parse("<Files a>\nrequire user\nrequire user \"\"\nRequire user x\n</Files>\n").empty());
  EXPECT_TRUE(Parse("<Files a>\n</Files>\nrequire user x\n").empty());
  const auto quoted = Parse("<Files a>\nrequire user \"John Smith\", bob\n");
  ASSERT_EQ(quoted.size(), 1u);
  EXPECT_EQ(acltest::Strings(quoted[0]->m_Names), (std::vector<std::string>{"John Smith", "bob"}));
}

TEST(PermissionText, RecordsOutliveTheListTheyWereParsedInto) {
  std::string text = "<Files *>\n";
  for (int i = 0; i < 300; ++i) {
    text += "require user u" + std::to_string(i) + " \"with space " + std::to_string(i) + "\"\n";
  }
  auto records = Parse(text);
  ASSERT_EQ(records.size(), 300u);
  CACLPermissionList kept;
  for (std::size_t i = 0; i < records.size(); i += 7) kept.push_back(std::move(records[i]));
  kept.push_back(std::make_unique<CACLPermission>());
  records.clear();
  for (std::size_t i = 0; i + 1 < kept.size(); ++i) {
    const std::string n = std::to_string(7 * i);
    EXPECT_EQ(acltest::Strings(kept[i]->m_Names), (std::vector<std::string>{"with space " + n, "u" + n}));
  }
  EXPECT_TRUE(kept.back()->m_Names.empty());
}

// Records are made on the threads of several requests at once and may be
// released on another thread than the one that made them.
TEST(PermissionText, RecordsMadeOnManyThreadsAreReleasedOnAnother) {
  const int kThreads = 4;
  const int kRecords = 150;
  std::vector<CACLPermissionList> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&made, t] {
      std::string text = "<Files *>\n";
      for (int i = 0; i < kRecords; ++i) text += "require user t" + std::to_string(t) + "r" + std::to_string(i) + "\n";
      for (int round = 0; round < 20; ++round) made[t] = Parse(text);
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(made[t].size(), static_cast<std::size_t>(kRecords));
    for (int i = 0; i < kRecords; i += 37) {
      EXPECT_EQ(acltest::Strings(made[t][i]->m_Names),
                (std::vector<std::string>{"t" + std::to_string(t) + "r" + std::to_string(i)}));
    }
  }
  // Released here while new records are made on another thread.
  std::thread maker([] {
    for (int round = 0; round < 20; ++round) EXPECT_EQ(Parse("<Files *>\nrequire user x\n").size(), 1u);
  });
  made.clear();
  maker.join();
}

TEST(PermissionText, StrayNulEndsTheLineContent) {
  const char text[] = "<Files a\0b>\nrequire user x\0y z\nrequire group \"g\0h\" k\n";
  const auto records = Parse(std::string(text, sizeof text - 1));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(acltest::Strings(records[0]->m_Files), (std::vector<std::string>{"a"}));
  EXPECT_EQ(acltest::Strings(records[0]->m_Names), (std::vector<std::string>{"x"}));
  EXPECT_EQ(acltest::Strings(records[1]->m_Names), (std::vector<std::string>{"g"}));
}

TEST(PermissionText, InheritedRulesReachOnlyThroughWildcards) {
  const std::string text =
      "<Files index.htm>\nrequire user a\n</Files>\n"
      "<Files *.asp, x.htm>\nrequire user b\n</Files>\n"
      "<Directory>\nrequire user c\n</Directory>\n";
  const auto inherited = Parse(text, 1);
  ASSERT_EQ(inherited.size(), 2u);
  EXPECT_EQ(acltest::Strings(inherited[0]->m_Names), (std::vector<std::string>{"b"}));
  EXPECT_EQ(acltest::Strings(inherited[0]->m_Files), (std::vector<std::string>{"*.asp", " x.htm"}));
  EXPECT_EQ(inherited[0]->m_bInherited, 1);
  EXPECT_EQ(Parse(text, 0).size(), 3u);
}

TEST(PermissionText, EqualBlocksAreRenderedOnceWithSortedLists) {
  const auto records = Parse(
      "<Limit POST get>\n<Files b.htm a.htm>\nrequire user x\n</Files>\n</Limit>\n"
      "<Limit GET post>\n<Files B.HTM A.HTM>\nrequire group \"g h\"\n</Files>\n</Limit>\n"
      "<Files c.htm>\nrequire valid-user\n</Files>\n");
  EXPECT_EQ(Render(records),
            "<Limit 'get' 'POST'>\r\n"
            "<Files 'b.htm a.htm'>\r\n"
            "require user x\r\n"
            "require group \"g h\"\r\n"
            "</Files>\r\n"
            "</Limit>\r\n"
            "\r\n"
            "<Limit >\r\n"
            "<Files 'c.htm'>\r\n"
            "require valid-user \r\n"
            "</Files>\r\n"
            "</Limit>\r\n"
            "\r\n");
  EXPECT_EQ(Render(records, 1), "");
}

TEST(PermissionText, RenderedTextReadsBackToTheSameRecords) {
  const auto records = Parse(
      "<Limit GET POST>\n<Files 'a b.htm', x.htm>\nrequire user \"John Smith\" bob\nrequire wap w\n</Files>\n</Limit>\n");
  const auto again = Parse(Render(records));
  ASSERT_EQ(again.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(again[i]->m_Methods, records[i]->m_Methods);
    EXPECT_EQ(again[i]->m_Names, records[i]->m_Names);
    EXPECT_EQ(again[i]->m_strType, records[i]->m_strType);
  }
}

TEST(PermissionText, LongRequireLinesStayWithinTheReaderLimit) {
  CACLPermissionList records;
  auto record = std::make_unique<CACLPermission>();
  record->m_nType = CACLPermission::User;
  record->m_strType = "user";
  record->m_Files = {"*"};
  for (int i = 0; i < 2000; ++i) record->m_Names.push_back((i % 3 ? "name" : "with space") + std::to_string(i));
  // A name that would land exactly on the limit without its separator.
  record->m_Names.push_back(std::string(7980, 'n'));
  records.push_back(std::move(record));
  const std::string text = Render(records);
  const auto lines = acltest::Lines(text);
  for (const auto& line : lines) EXPECT_LE(line.size(), qacl::kMaxLineBytes);
  const auto again = Parse(text);
  std::vector<std::string> names;
  for (const auto& r : again) names.insert(names.end(), r->m_Names.begin(), r->m_Names.end());
  std::vector<std::string> expected = acltest::Strings(records[0]->m_Names);
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST(PermissionText, RequireLineOfExactlyTheLimitIsNotWrapped) {
  const auto render = [](std::size_t secondName) {
    CACLPermissionList records;
    auto record = std::make_unique<CACLPermission>();
    record->m_strType = "user";
    record->m_Files = {"*"};
    record->m_Names = {std::string(7000, 'a'), std::string(secondName, 'b')};
    records.push_back(std::move(record));
    std::vector<std::string> requireLines;
    for (const auto& line : acltest::Lines(Render(records))) {
      if (line.compare(0, 8, "require ") == 0) requireLines.push_back(line);
    }
    return requireLines;
  };
  // "require user " (13 bytes), the first name, ", " and the second: 7999.
  EXPECT_EQ(render(984),
            (std::vector<std::string>{"require user " + std::string(7000, 'a') + ", " + std::string(984, 'b')}));
  EXPECT_EQ(render(985), (std::vector<std::string>{"require user " + std::string(7000, 'a'),
                                                   "require user " + std::string(985, 'b')}));
}

TEST(ArrayToString, QuotesSeparatesAndSortsStably) {
  std::string text = "x";
  ArrayToString(text, {"b", "B", "a", "A"}, ", ", 1);
  EXPECT_EQ(text, "x'a', 'A', 'b', 'B'");
  text.clear();
  ArrayToString(text, {"b", "a"}, " ", 0);
  EXPECT_EQ(text, "'b' 'a'");
  ArrayToString(text, {}, " ", 1);
  EXPECT_EQ(text, "'b' 'a'");
}
