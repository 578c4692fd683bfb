// The product line's fixed product table: one row per product code, in the
// order in which products are visited.
#pragma once

#include <cstddef>

namespace qarnutil {

struct CProduct {
  long nCode;
  const char* szRegistryKeyName;  // below "SOFTWARE\QARN Vesmoro\Install"
  const char* szDisplayName;
};

constexpr std::size_t kProductCount = 20;
constexpr long kQarnMembershipCode = 5;
constexpr long kQarnKestroCode = 8;

// The rows in visiting order.
const CProduct* ProductTable();

// The row of code, or null when the code is not in the table.
const CProduct* FindProduct(long code);

}  // namespace qarnutil
