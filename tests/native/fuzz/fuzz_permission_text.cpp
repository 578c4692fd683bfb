// Parses arbitrary bytes as permission text, renders the records and parses
// the rendering again: the rendering must hold the same require names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ACL.h"

namespace {

std::vector<std::string> AllNames(const CACLPermissionList& records) {
  std::vector<std::string> names;
  for (const auto& record : records) names.insert(names.end(), record->m_Names.begin(), record->m_Names.end());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int inherited = data[0] & 1;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  CACL acl;
  CACLPermissionList records;
  acl.TextToPermissions(text, records, inherited);
  CACLPermissionRefs refs;
  for (const auto& record : records) refs.push_back(record.get());
  std::string rendered;
  acl.PermissionsToText(refs, rendered, inherited);
  CACLPermissionList again;
  acl.TextToPermissions(rendered, again, 0);
  (void)AllNames(again);
  return 0;
}
