#include <gtest/gtest.h>

#include "ACLPaths.h"

using namespace qacl;
using Strings = std::vector<std::string>;

TEST(ACLPaths, FilesAlongThePathFromTheApplicationRoot) {
  const std::string target = "C:\\site\\a\\b\\.htaccess";
  EXPECT_EQ(FilesAlongPath(target, "C:\\site", "C:\\site", ".htaccess"),
            (Strings{"C:\\site\\a\\.htaccess", "C:\\site\\a\\b\\.htaccess"}));
  EXPECT_EQ(FilesAlongPath(target, "c:\\SITE\\", "C:\\site", ".htaccess"),
            (Strings{"C:\\site\\a\\.htaccess", "C:\\site\\a\\b\\.htaccess"}));
  EXPECT_EQ(FilesAlongPath(target, "C:\\site\\a", "C:\\site", "acl.txt"),
            (Strings{"C:\\site\\a\\acl.txt", "C:\\site\\a\\b\\acl.txt"}));
  EXPECT_EQ(FilesAlongPath(target, "D:\\other", "C:\\site", ".htaccess"), (Strings{"C:\\site\\a\\b\\.htaccess"}));
  EXPECT_EQ(FilesAlongPath("C:\\site\\.htaccess", "C:\\site", "C:\\site", ".htaccess"), Strings{});
  EXPECT_EQ(FilesAlongPath(".htaccess", "", "x", ".htaccess"), Strings{});
}

TEST(ACLPaths, SectionNames) {
  EXPECT_EQ(SectionName("/", true), "/");
  EXPECT_EQ(SectionName("", true), "/");
  EXPECT_EQ(SectionName("a/b/", true), "/a/b");
  EXPECT_EQ(SectionName("/a/x.htm", false), "/a");
  EXPECT_EQ(SectionName("/x.htm", false), "/");
  EXPECT_EQ(ParentSections("/a/b/c"), (Strings{"/a", "/a/b"}));
  EXPECT_EQ(ParentSections("/a"), Strings{});
  EXPECT_EQ(ParentSections("/"), Strings{});
}

TEST(ACLPaths, PathParts) {
  EXPECT_EQ(DirectoryPart("C:\\site\\a.htm"), "C:\\site");
  EXPECT_EQ(DirectoryPart("name"), "name");
  EXPECT_EQ(LastComponent("C:\\site\\a.htm"), "a.htm");
  EXPECT_EQ(JoinPath("C:\\", "x"), "C:\\x");
  EXPECT_EQ(JoinPath("C:\\d", "x"), "C:\\d\\x");
  EXPECT_TRUE(IsOwnProductPath("/VesMoro/x"));
  EXPECT_TRUE(IsOwnProductPath("/vesmorox"));
  EXPECT_FALSE(IsOwnProductPath("vesmoro"));
}

TEST(ACLPaths, SectionRemoverDropsTheOldSectionUpToTheNextStart) {
  const Strings file = {"<ACL />",  "AuthName r", "</ACL>", "",          "<ACL /a>", "AuthName a",
                        "</ACL>",   "# comment",  "",       " <acl /ab>", "x",        "</ACL>",
                        "<ACL /A>", "dup",        "</ACL>", "<ACL /a,b>", "y",        "<ACL /b>"};
  CSectionRemover remover("/a");
  Strings kept;
  for (const auto& line : file) {
    if (remover.Keep(line)) kept.push_back(line);
  }
  EXPECT_EQ(kept, (Strings{"<ACL />", "AuthName r", "</ACL>", "", " <acl /ab>", "x", "</ACL>", "<ACL /b>"}));
}

TEST(ACLPaths, SectionStartRecognition) {
  std::string name;
  EXPECT_TRUE(IsSectionStart("\t<aCl\t/x>", &name));
  EXPECT_EQ(name, "/x>");
  EXPECT_FALSE(IsSectionStart("</ACL>", &name));
  EXPECT_TRUE(NamesSection("/>", "/"));
  EXPECT_TRUE(NamesSection("/a", "/A"));
  EXPECT_FALSE(NamesSection("/ab>", "/a"));
  EXPECT_FALSE(NamesSection("/", "/a"));
}
