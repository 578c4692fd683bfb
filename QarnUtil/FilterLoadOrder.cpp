#include "FilterLoadOrder.h"

namespace qinstall {

namespace {

// Calls visit with each comma-separated piece of order, in order.
template <class Visit>
void ForEachPiece(const std::wstring& order, Visit visit) {
  std::wstring::size_type start = 0;
  for (;;) {
    const std::wstring::size_type comma = order.find(L',', start);
    visit(order.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
    if (comma == std::wstring::npos) return;
    start = comma + 1;
  }
}

}  // namespace

std::wstring RemoveFromLoadOrder(const std::wstring& order, const std::wstring& name) {
  std::wstring kept;
  ForEachPiece(order, [&](const std::wstring& piece) {
    if (piece.empty() || piece == name) return;
    if (!kept.empty()) kept += L',';
    kept += piece;
  });
  return kept;
}

bool LoadOrderContains(const std::wstring& order, const std::wstring& name) {
  bool found = false;
  ForEachPiece(order, [&](const std::wstring& piece) { found = found || piece == name; });
  return found;
}

std::wstring AppendToLoadOrder(const std::wstring& order, const std::wstring& name) {
  return order.empty() ? name : order + L',' + name;
}

}  // namespace qinstall
