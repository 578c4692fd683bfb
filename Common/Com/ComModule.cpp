#include "ComModule.h"

#include <string>

#include "Win32/Handles.h"

namespace qcom {

namespace {

std::string GuidText(const GUID& guid) {
  wchar_t wide[40] = {};
  ::StringFromGUID2(guid, wide, 40);
  return BstrToAnsi(wide);
}

// Creates (or opens) HKCR\path and sets its default value when one is given.
HRESULT WriteKey(const std::string& path, const char* defaultValue,
                 const char* valueName = nullptr, const char* value = nullptr) {
  qwin::CRegKey key;
  LONG rc = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_WRITE, nullptr, key.Put(), nullptr);
  if (rc != ERROR_SUCCESS) return qwin::HResultFromWin32(rc);
  auto set = [&key](const char* name, const char* text) -> LONG {
    return ::RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(std::char_traits<char>::length(text) + 1));
  };
  if (defaultValue && (rc = set(nullptr, defaultValue)) != ERROR_SUCCESS) return qwin::HResultFromWin32(rc);
  if (valueName && (rc = set(valueName, value)) != ERROR_SUCCESS) return qwin::HResultFromWin32(rc);
  return S_OK;
}

HRESULT DeleteTree(const std::string& path) {
  LONG rc = ::RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
  if (rc == ERROR_SUCCESS) rc = ::RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
  return (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ? S_OK : qwin::HResultFromWin32(rc);
}

std::string ModulePath() {
  char path[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameA(ModuleInstance(), path, MAX_PATH);
  return std::string(path, length);
}

HRESULT RegisterClassEntry(const CClassEntry& entry, const std::string& libid) {
  const std::string clsid = GuidText(*entry.clsid);
  const std::string classKey = "CLSID\\" + clsid;
  const std::string progId = entry.progId;
  const std::string currentProgId = entry.versionIndependentProgId;
  const std::string modulePath = ModulePath();
  HRESULT hr = S_OK;
  const auto step = [&hr](HRESULT result) { if (SUCCEEDED(hr)) hr = result; };
  step(WriteKey(progId, entry.description));
  step(WriteKey(progId + "\\CLSID", clsid.c_str()));
  step(WriteKey(currentProgId, entry.description));
  step(WriteKey(currentProgId + "\\CLSID", clsid.c_str()));
  step(WriteKey(currentProgId + "\\CurVer", progId.c_str()));
  step(WriteKey(classKey, entry.description));
  step(WriteKey(classKey + "\\ProgID", progId.c_str()));
  step(WriteKey(classKey + "\\VersionIndependentProgID", currentProgId.c_str()));
  step(WriteKey(classKey + "\\Programmable", nullptr));
  step(WriteKey(classKey + "\\InprocServer32", modulePath.c_str(), "ThreadingModel", entry.threadingModel));
  if (!libid.empty()) step(WriteKey(classKey + "\\TypeLib", libid.c_str()));
  return hr;
}

HRESULT UnregisterClassEntry(const CClassEntry& entry) {
  HRESULT hr = DeleteTree(entry.progId);
  HRESULT next = DeleteTree(entry.versionIndependentProgId);
  if (SUCCEEDED(hr)) hr = next;
  next = DeleteTree("CLSID\\" + GuidText(*entry.clsid));
  return SUCCEEDED(hr) ? next : hr;
}

HRESULT RegisterTypeLibrary() {
  CComPtr<ITypeLib> typeLib;
  HRESULT hr = LoadModuleTypeLib(typeLib.Put());
  if (FAILED(hr)) return hr;
  std::wstring path = AnsiToWide(ModulePath());
  // The help folder is the module's folder with its closing backslash, as
  // ATL-made servers register it, so that an installer package can write the
  // same entry from its folder property.
  std::wstring helpFolder = path.substr(0, path.find_last_of(L'\\') + 1);
  return ::RegisterTypeLib(typeLib.Get(), &path[0], &helpFolder[0]);
}

HRESULT UnregisterTypeLibrary() {
  CComPtr<ITypeLib> typeLib;
  HRESULT hr = LoadModuleTypeLib(typeLib.Put());
  if (FAILED(hr)) return hr;
  TLIBATTR* attributes = nullptr;
  hr = typeLib->GetLibAttr(&attributes);
  if (FAILED(hr)) return hr;
  hr = ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                           attributes->lcid, attributes->syskind);
  typeLib->ReleaseTLibAttr(attributes);
  // Already gone counts as done.
  return hr == TYPE_E_REGISTRYACCESS ? S_OK : hr;
}

}  // namespace

HRESULT GetClassObject(const CModuleDescription& module, REFCLSID clsid, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (size_t i = 0; i < module.classCount; ++i) {
    if (IsEqualCLSID(*module.classes[i].clsid, clsid)) {
      return CreateClassFactory(module.classes[i].create, iid, ppv);
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterServer(const CModuleDescription& module) {
  const std::string libid = module.libid ? GuidText(*module.libid) : std::string();
  for (size_t i = 0; i < module.classCount; ++i) {
    HRESULT hr = RegisterClassEntry(module.classes[i], libid);
    if (FAILED(hr)) return hr;
  }
  return module.libid ? RegisterTypeLibrary() : S_OK;
}

HRESULT UnregisterServer(const CModuleDescription& module) {
  HRESULT result = S_OK;
  for (size_t i = 0; i < module.classCount; ++i) {
    HRESULT hr = UnregisterClassEntry(module.classes[i]);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  HRESULT hr = module.libid ? UnregisterTypeLibrary() : S_OK;
  return SUCCEEDED(result) ? hr : result;
}

}  // namespace qcom
