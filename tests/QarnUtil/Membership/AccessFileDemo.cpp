// The demo of the access files: a small site with an access file in its root
// and in a subfolder is loaded for a page below them (the settings merged
// from the top down), then the merged settings are saved as sections of a
// single access file, twice, and that file is shown.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ACL.h"
#include "Win32TestSupport.h"

namespace {

void ShowRead(const char* file) { std::printf("  reads %s\n", file); }

void Show(const char* title, const std::string& text) { std::printf("%s\n%s\n", title, text.c_str()); }

}  // namespace

int main() {
  w32test::CScratchDir dir;
  const std::string site = dir / "site";
  ::CreateDirectoryA(site.c_str(), nullptr);
  ::CreateDirectoryA((site + "\\members").c_str(), nullptr);
  w32test::WriteText(site + "\\.htaccess",
                     "AuthName \"Kestro site\"\r\nDiskQuota 100M\r\nTimeOut 30\r\n"
                     "<Files *.asp>\r\nrequire valid-user\r\n</Files>\r\n<Files index.htm>\r\nrequire user guest\r\n</Files>\r\n");
  w32test::WriteText(site + "\\members\\.htaccess",
                     "AuthType Basic\r\nDiskQuota 10M\r\nDenyAccess secret.htm, 'old.htm'\r\n"
                     "<Limit GET POST>\r\n<Files report.htm>\r\nrequire group \"Club Members\", staff\r\n</Files>\r\n</Limit>\r\n");
  w32test::WriteText(site + "\\members\\report.htm", "<html></html>");

  qacl::CFileWork showReads;
  showReads.pfnBeforeRead = &ShowRead;
  CACL acl(showReads);
  int found = 0;
  std::printf("CACL::Load of /members/report.htm:\n");
  acl.Load("demo", site.c_str(), nullptr, site.c_str(), (site + "\\members\\report.htm").c_str(), nullptr,
           "/members/report.htm", &found);
  std::printf("  found %d, AuthName \"%s\", AuthType %s, quota %lld bytes from %s, time-out %d\n", found,
              acl.m_strAuthName.c_str(), acl.m_strAuthType.c_str(), static_cast<long long>(acl.m_llDiskQuota),
              acl.m_strQuotaPath.c_str(), acl.m_nTimeOut);
  Show("  own permission text:", acl.m_strPermissions);
  Show("  inherited rules that reach the page:", acl.m_strInheritedPermissions);

  const std::string single = dir / "site.acl";
  int saved = 0;
  acl.Save((site + "\\members").c_str(), nullptr, "/members", single.c_str(), &saved, nullptr);
  acl.m_strAuthName = "Members only";
  acl.Save((site + "\\members").c_str(), nullptr, "/members", single.c_str(), &saved, nullptr);
  CACL root;
  root.Save(site.c_str(), nullptr, "/", single.c_str(), &saved, nullptr);
  Show("Single access file after saving /members twice and then /:", w32test::ReadText(single));
  return saved == 1 ? 0 : 1;
}
