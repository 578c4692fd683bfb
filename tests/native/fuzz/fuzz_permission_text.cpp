// Parses arbitrary bytes as permission text (own or inherited), renders the
// records back into text and parses that rendering again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ACL.h"

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
  acl.TextToPermissions(rendered, again, inherited);
  return 0;
}
