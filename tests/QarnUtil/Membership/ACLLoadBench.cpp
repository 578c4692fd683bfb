// CACL::Load through the buffered reader against the old design, a reader
// that asks ReadFile for one byte at a time, in the same run:
//  - a target ten folders deep with a 2,000-line access file in every folder;
//  - a section of a single access file of 10,000 sections.
// Each is measured with the library logger at INFO (a deployed threshold: the
// DEBUG records of every line are not composed) and at DEBUG without an
// appender (log4cplus's unconfigured default: every line's records are
// composed and dropped). The target (20x) applies at INFO; at DEBUG the
// per-line records cost the same in both readers and bound the ratio.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ACL.h"
#include "AccessFileLines.h"
#include "MembershipTesting.h"
#include "Win32TestSupport.h"
#include "logging.h"

namespace {

const int kDepth = 10;
const int kLinesPerFile = 2000;
const int kSections = 10000;

std::string AccessFileText(int folder) {
  std::string text;
  for (int line = 0; line < kLinesPerFile; ++line) {
    switch (line % 8) {
      case 0: text += "# folder " + std::to_string(folder) + " line " + std::to_string(line) + "\r\n"; break;
      case 1: text += "AuthName \"Members of folder " + std::to_string(folder) + "\"\r\n"; break;
      case 2: text += "DenyAccess secret" + std::to_string(line % 50) + ".htm, private.mdb\r\n"; break;
      case 3: text += "ErrorDocument " + std::to_string(400 + line % 20) + " /errors/e.htm\r\n"; break;
      case 4: text += "<Files *.asp>\r\n"; break;
      case 5: text += "require user alice \"Bob Smith\", carol\r\n"; break;
      case 6: text += "</Files>\r\n"; break;
      default: text += "LoginForm /vesmoro/login.asp?folder=" + std::to_string(folder) + "\r\n"; break;
    }
  }
  return text;
}

std::string SingleFileText() {
  std::string text = "<ACL />\r\nAuthName root\r\nTimeOut 30\r\n</ACL>\r\n";
  for (int section = 0; section < kSections; ++section) {
    const std::string name = "/s" + std::to_string(section);
    text += "<ACL " + name + ">\r\nAuthName \"" + name + "\"\r\nDenyAccess a.htm, b.htm\r\nDiskQuota 100M\r\n</ACL>\r\n";
  }
  return text;
}

struct CTarget {
  const char* instance;
  std::string site;
  std::string target;
  std::string virtualPath;
};

// Milliseconds per load, best of `rounds`.
double TimeLoad(const CTarget& t, std::size_t readBuffer, int rounds) {
  qmembership::testing::g_nAccessFileReadBuffer = readBuffer;
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  double best = 1e300;
  for (int round = 0; round < rounds; ++round) {
    CACL acl;
    int found = 0;
    ::QueryPerformanceCounter(&start);
    acl.Load(t.instance, t.site.c_str(), nullptr, t.site.c_str(), t.target.c_str(), nullptr, t.virtualPath.c_str(),
             &found);
    ::QueryPerformanceCounter(&end);
    if (!found) std::printf("warning: nothing found for %s\n", t.virtualPath.c_str());
    const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    if (ms < best) best = ms;
  }
  return best;
}

double Compare(const char* title, const CTarget& target, log4cplus::LogLevel level, const char* levelName) {
  qlog::LibraryLogger().setLogLevel(level);
  const double buffered = TimeLoad(target, qacl::kDefaultReadBuffer, 5);
  const double bytewise = TimeLoad(target, 1, 2);
  const double ratio = bytewise / buffered;
  std::printf("%s, logger at %s: buffered %.1f ms, one byte per ReadFile %.1f ms, ratio %.1fx\n", title, levelName,
              buffered, bytewise, ratio);
  return ratio;
}

}  // namespace

int main() {
  w32test::CScratchDir dir;
  w32test::CRegistrySandbox registry;
  const std::string site = dir / "site";
  std::string folder = site;
  ::CreateDirectoryA(folder.c_str(), nullptr);
  w32test::WriteText(folder + "\\.htaccess", AccessFileText(0));
  std::string virtualPath;
  for (int depth = 1; depth <= kDepth; ++depth) {
    folder += "\\d" + std::to_string(depth);
    virtualPath += "/d" + std::to_string(depth);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    w32test::WriteText(folder + "\\.htaccess", AccessFileText(depth));
  }
  const std::string single = dir / "site.acl";
  w32test::WriteText(single, SingleFileText());
  registry.SetString("SOFTWARE\\QARN Vesmoro\\Config\\single", nullptr, single);
  ::CreateDirectoryA((site + "\\s9876").c_str(), nullptr);

  const CTarget deepTarget{"deep", site, folder, virtualPath};
  const CTarget sectionTarget{"single", site, site + "\\s9876", "/s9876"};
  qlog::EnsureLoggingConfigured();
  const double deep = Compare("ten folders deep, 2000 lines each", deepTarget, log4cplus::INFO_LOG_LEVEL, "INFO");
  const double sections = Compare("single file of 10000 sections", sectionTarget, log4cplus::INFO_LOG_LEVEL, "INFO");
  Compare("ten folders deep, 2000 lines each", deepTarget, log4cplus::DEBUG_LOG_LEVEL, "DEBUG");
  Compare("single file of 10000 sections", sectionTarget, log4cplus::DEBUG_LOG_LEVEL, "DEBUG");
  const bool met = deep >= 20.0 && sections >= 20.0;
  std::printf("target of 20x (logger at INFO) %s\n", met ? "met" : "NOT met");
  return met ? 0 : 1;
}
