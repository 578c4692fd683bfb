// The decisions of the installation check, free of Win32 so that they are
// checked natively.
#pragma once

#include <string>

namespace qinstall {

// The data-source types of an access file (type 1, the file-based source,
// is never accepted by the check).
enum DataSourceType : int {
  kDataSourceNone = 0,
  kDataSourceOleDb = 2,
  kDataSourceLdap = 3,
  kDataSourceAdsi = 4,
};

enum class EDataSourceVerdict {
  ProbeOleDb,    // a complete OLE DB source: its database decides
  Incompatible,  // no source the product's filter can use
  Adsi,          // a named ADSI domain or server
};

// oleDbComplete: the connection string and the three user and group queries
// are all given; adsiNamed: the ADSI domain or server is given.
EDataSourceVerdict JudgeDataSource(int type, bool oleDbComplete, bool adsiNamed);

// Only "Basic" carries the password that an ADSI or LDAP source checks, so
// those sources refuse every other scheme; an LDAP source without a URL is
// not used for logons and so is no obstacle.
bool IsAuthTypeCompatible(const std::string& authType, int dataSourceType, const std::string& ldapUrl);

// The metabase key below the site whose folder the security check reads:
// "Root", joined to subPath by "/" unless subPath is empty or begins with it.
std::wstring SecurityCheckKey(const std::wstring& subPath);

}  // namespace qinstall
