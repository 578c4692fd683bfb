// Reads arbitrary bytes as an access file (whole, or one of its sections),
// then writes the merged settings and reads them back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ACL.h"
#include "ACLPaths.h"
#include "AccessFileLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const char* section = (mode & 1) ? "/a" : nullptr;

  CACL acl;
  acl.m_strTargetFile = "C:\\site\\.htaccess";
  acl.m_strTargetSection = "/a";
  acl.m_bReadingInherited = (mode & 2) ? 1 : 0;
  {
    qacl::CMemorySource source(text);
    qacl::CLineReader reader(source, 1 + mode % 64);
    acl.MergeConfigLines(reader, "C:\\site\\.htaccess", section);
  }
  acl.TextToPermissions(acl.m_strPermissions, acl.m_PermissionRecords, 0);
  acl.TextToPermissions(acl.m_strInheritedPermissions, acl.m_PermissionRecords, 1);
  CACLPermissionRefs refs;
  for (const auto& record : acl.m_PermissionRecords) refs.push_back(record.get());
  acl.PermissionsToText(refs, acl.m_strInheritedPermissions, 1);

  const std::string body = acl.BodyText();
  CACL back;
  back.m_strTargetFile = "C:\\site\\.htaccess";
  qacl::CMemorySource source(body);
  qacl::CLineReader reader(source);
  back.MergeConfigLines(reader, "C:\\site\\.htaccess", nullptr);

  qacl::CSectionRemover remover("/a");
  qacl::CMemorySource raw(text);
  qacl::CLineReader rawReader(raw, 7);
  std::string line;
  while (rawReader.NextRaw(line)) remover.Keep(line);
  return 0;
}
