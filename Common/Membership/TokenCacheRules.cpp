#include "TokenCacheRules.h"

#include "ACLDirectives.h"

namespace qtoken {

CIdentityParts SplitIdentity(const std::string& identity) {
  CIdentityParts parts;
  const std::size_t colon = identity.find(':');
  const std::string account = identity.substr(0, colon);
  if (colon != std::string::npos) {
    parts.password = identity.substr(colon + 1);
    parts.hasPassword = true;
  }
  const std::size_t backslash = account.find('\\');
  if (backslash == std::string::npos) {
    parts.user = account;
  } else {
    parts.domain = account.substr(0, backslash);
    parts.hasDomain = true;
    parts.user = account.substr(backslash + 1);
  }
  return parts;
}

bool SameLogon(const std::string& cached, const std::string& requested) {
  const CIdentityParts a = SplitIdentity(cached);
  const CIdentityParts b = SplitIdentity(requested);
  return a.hasDomain == b.hasDomain && qacl::EqualsNoCase(a.domain, b.domain) && qacl::EqualsNoCase(a.user, b.user) &&
         a.hasPassword == b.hasPassword && a.password == b.password;
}

namespace {

// Days since 1970-01-01 of a Gregorian date (H. Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

std::int64_t SecondsOf(const CLocalTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace

std::int64_t SecondsBetween(const CLocalTime& earlier, const CLocalTime& later) {
  return SecondsOf(later) - SecondsOf(earlier);
}

}  // namespace qtoken
