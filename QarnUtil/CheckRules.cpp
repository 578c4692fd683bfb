#include "CheckRules.h"

namespace qinstall {

EDataSourceVerdict JudgeDataSource(int type, bool oleDbComplete, bool adsiNamed) {
  const bool untyped = type == kDataSourceNone;
  if ((untyped || type == kDataSourceOleDb) && oleDbComplete) return EDataSourceVerdict::ProbeOleDb;
  if ((untyped || type == kDataSourceAdsi) && adsiNamed) return EDataSourceVerdict::Adsi;
  return EDataSourceVerdict::Incompatible;
}

bool IsAuthTypeCompatible(const std::string& authType, int dataSourceType, const std::string& ldapUrl) {
  if (authType == "Basic") return true;
  if (dataSourceType == kDataSourceAdsi) return false;
  return !(dataSourceType == kDataSourceLdap && !ldapUrl.empty());
}

std::wstring SecurityCheckKey(const std::wstring& subPath) {
  std::wstring key = L"Root";
  if (!subPath.empty() && subPath[0] != L'/') key += L'/';
  return key + subPath;
}

}  // namespace qinstall
