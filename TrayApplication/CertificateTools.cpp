#include "CertificateTools.h"

#include "AgentState.h"
#include "Com/ComPtr.h"
#include "CommandTable.h"
#include "Resource.h"
#include "SuiteComponents_h.h"

namespace zarvek {

namespace {

constexpr DWORD kComponentContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;
const char kMailCommandKey[] = "mailto\\shell\\open\\command";

// The description the component left for its failed call, in the ANSI code page.
std::string ErrorDescription(IUnknown* component, REFIID iid) {
  qcom::CComPtr<ISupportErrorInfo> support;
  if (!component || FAILED(component->QueryInterface(IID_ISupportErrorInfo, support.PutVoid())) ||
      support->InterfaceSupportsErrorInfo(iid) != S_OK) {
    return std::string();
  }
  qcom::CComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, info.Put()) != S_OK || !info) return std::string();
  qcom::CBstr description;
  if (FAILED(info->GetDescription(description.Put()))) return std::string();
  return qcom::BstrToAnsi(description.Get());
}

template <class Itf>
bool CreateComponent(REFCLSID clsid, REFIID iid, qcom::CComPtr<Itf>& component) {
  return SUCCEEDED(::CoCreateInstance(clsid, nullptr, kComponentContext, iid, component.PutVoid())) && component;
}

void ShowUnknownError() { ShowMessage(IDS_UNKNOWN_ERROR, IDS_APP_TITLE, MB_ICONERROR); }

// A component the command cannot do without: when it does not start, the
// unknown-error box says so.
template <class Itf>
bool CreateRequiredComponent(REFCLSID clsid, REFIID iid, qcom::CComPtr<Itf>& component) {
  if (CreateComponent(clsid, iid, component)) return true;
  ShowUnknownError();
  return false;
}

// Runs a command on outside components; a COM error shows its description
// under errorCaptionId, any other failure the unknown-error box.
template <class Command>
void RunGuarded(UINT errorCaptionId, Command command) {
  try {
    command();
  } catch (const CComError& error) {
    ShowMessage(error.Description(), errorCaptionId, MB_ICONERROR);
  } catch (...) {
    ShowUnknownError();
  }
}

bool MailProgramPresent() {
  qwin::CRegKey key;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kMailCommandKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  return ::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
         (type == REG_SZ || type == REG_EXPAND_SZ) && size >= 2;
}

}  // namespace

void CheckComCall(HRESULT hr, IUnknown* component, REFIID iid) {
  if (FAILED(hr)) throw CComError(hr, ErrorDescription(component, iid));
}

void OpenCertificateStore(const wchar_t* storeName) {
  RunGuarded(IDS_APP_TITLE, [storeName] {
    qcom::CComPtr<ICertStoreView> store;
    if (!CreateRequiredComponent(CLSID_CertStoreView, IID_ICertStoreView, store)) return;
    qcom::CBstr name(storeName);
    CheckComCall(store->Open(1, name.Get()), store.Get(), IID_ICertStoreView);
    // Declared after the store, so the viewer is released first.
    qcom::CComPtr<ICertViewer> viewer;
    CreateComponent(CLSID_CertViewer, IID_ICertViewer, viewer);
    // The slot is in and out: the component may hand back another viewer,
    // which is then the one to release.
    ICertViewer* viewerSlot = viewer.Detach();
    const HRESULT shown = store->Show(&viewerSlot);
    viewer.Attach(viewerSlot);
    if (shown == S_FALSE) ShowMessage(IDS_STORE_EMPTY, IDS_APP_TITLE, MB_ICONINFORMATION);
  });
}

void ShowCryptoProviders() {
  RunGuarded(IDS_APP_TITLE, [] {
    qcom::CComPtr<ICryptoProviderList> providers;
    if (!CreateRequiredComponent(CLSID_CryptoProviderList, IID_ICryptoProviderList, providers)) return;
    CheckComCall(providers->Show(), providers.Get(), IID_ICryptoProviderList);
  });
}

void OpenProfileManager() {
  RunGuarded(IDS_ERROR_CAPTION, [] {
    qcom::CComPtr<IProfileManager> manager;
    if (!CreateRequiredComponent(CLSID_ProfileManager, IID_IProfileManager, manager)) return;
    CheckComCall(manager->Initialize(0, 0), manager.Get(), IID_IProfileManager);
    CheckComCall(manager->Show(), manager.Get(), IID_IProfileManager);
  });
}

void WriteErrorReport() {
  if (!MailProgramPresent()) {
    ShowMessage(IDS_NO_MAIL_CLIENT, IDS_APP_TITLE, MB_ICONEXCLAMATION);
    return;
  }
  const std::string address =
      MakeMailtoAddress(LoadResourceString(IDS_SUPPORT_ADDRESS), LoadResourceString(IDS_APP_TITLE));
  g_shell.m_pfnShellExecute(g_hWnd, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace zarvek
