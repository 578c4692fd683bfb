// A second process for the single-file save tests:
//   SaveHelper save  <single file> <folder> <virtual path> <count>
//     saves the section of <virtual path> <count> times;
//   SaveHelper crash <single file> <folder> <virtual path>
//     dies after the new file is written, before it replaces the single file.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "ACL.h"

namespace {

void DieHere(const char*) { ::TerminateProcess(::GetCurrentProcess(), 99); }

int Save(const char* single, const char* folder, const char* virtualPath, int count,
         const qacl::CFileWork& work = qacl::CFileWork()) {
  for (int i = 0; i < count; ++i) {
    CACL acl(work);
    acl.m_strAuthName = std::string(virtualPath) + " " + std::to_string(i);
    int saved = 0;
    if (acl.Save(folder, nullptr, virtualPath, single, &saved, nullptr) != S_OK || saved != 1) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  const std::string mode = argv[1];
  if (mode == "crash") {
    qacl::CFileWork dying;
    dying.pfnBeforeSingleFileReplace = &DieHere;
    return Save(argv[2], argv[3], argv[4], 1, dying) == 0 ? 3 : 4;
  }
  if (mode == "save" && argc >= 6) return Save(argv[2], argv[3], argv[4], std::atoi(argv[5]));
  return 2;
}
