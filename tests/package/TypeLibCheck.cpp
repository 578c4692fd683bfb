// Loads both type libraries through the registry, as a client that knows only
// their LIBIDs does, and checks where the registry says they are.
//   TypeLibCheck <QarnUtil.dll path> <lorvex.dll path>
// Prints each mismatch and exits with the number of mismatches.
#include <windows.h>

#include <cstdio>

#include "Com/ComPtr.h"
#include "QarnUtil_h.h"
#include "lorvex_h.h"

namespace {

int Check(const GUID& libid, const wchar_t* name, const char* modulePath) {
  const LCID english = 0x0409;
  qcom::CComPtr<ITypeLib> typeLib;
  HRESULT hr = ::LoadRegTypeLib(libid, 1, 0, english, typeLib.Put());
  if (FAILED(hr)) {
    std::printf("LoadRegTypeLib of %ls: 0x%08lx\n", name, static_cast<unsigned long>(hr));
    return 1;
  }
  int failures = 0;
  qcom::CBstr libraryName;
  if (FAILED(typeLib->GetDocumentation(-1, libraryName.Put(), nullptr, nullptr, nullptr)) ||
      lstrcmpW(libraryName.Get(), name) != 0) {
    std::printf("the library registered for %ls is %s\n", name, qcom::BstrToAnsi(libraryName.Get()).c_str());
    ++failures;
  }
  qcom::CBstr path;
  // Paths compare without regard to case, like the file system does.
  if (FAILED(::QueryPathOfRegTypeLib(libid, 1, 0, english, path.Put())) ||
      lstrcmpiA(qcom::BstrToAnsi(path.Get()).c_str(), modulePath) != 0) {
    std::printf("%ls registered at %s instead of %s\n", name, qcom::BstrToAnsi(path.Get()).c_str(), modulePath);
    ++failures;
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: TypeLibCheck <QarnUtil.dll path> <lorvex.dll path>\n");
    return 2;
  }
  ::CoInitialize(nullptr);
  int failures = Check(LIBID_QARNUTILLib, L"QARNUTILLib", argv[1]) + Check(LIBID_LORVEXLib, L"LORVEXLib", argv[2]);
  ::CoUninitialize();
  if (failures == 0) std::printf("both type libraries load through the registry\n");
  return failures;
}
