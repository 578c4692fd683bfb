// The token cache's rules that need no Win32: how an identity text splits
// into its parts, when two texts name the same cached logon, and how long an
// entry has been idle.
#pragma once

#include <cstdint>
#include <string>

namespace qtoken {

// "domain\user:password"; domain and password are optional. Everything after
// the first colon is the password; before it, the text up to the first
// backslash is the domain.
struct CIdentityParts {
  std::string user;
  std::string domain;
  std::string password;
  bool hasDomain = false;
  bool hasPassword = false;
};

CIdentityParts SplitIdentity(const std::string& identity);

// A cached logon serves an identity text when domain and user name are equal
// ignoring case and the password is equal exactly: a password differing only
// in case must not be served a logged-on token.
bool SameLogon(const std::string& cached, const std::string& requested);

// A local date and time to the second.
struct CLocalTime {
  int year = 1601;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Whole seconds from `earlier` to `later` (Gregorian calendar).
std::int64_t SecondsBetween(const CLocalTime& earlier, const CLocalTime& later);

// Entries idle for more than this are dropped at a timer tick.
constexpr std::int64_t kIdleSecondsKept = 300;

}  // namespace qtoken
