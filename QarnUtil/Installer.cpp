#include "Installer.h"

// The installation work (metabase, folders, filters, membership database)
// is not built yet: the methods are in the interface and answer E_NOTIMPL.

namespace qarnutil {

HRESULT CInstaller::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_IInstaller) || IsEqualIID(iid, IID_IDispatch)) {
    *ppv = static_cast<IInstaller*>(this);
    return S_OK;
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *ppv = static_cast<ISupportErrorInfo*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP CInstaller::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID_IInstaller) ? S_OK : S_FALSE;
}

STDMETHODIMP CInstaller::InstallVesmoro(BSTR, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::UnInstallVesmoro(BSTR, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::IsVesmoroInstalled(BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::InstallProduct(ProductType, BSTR, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::UnInstallProduct(ProductType, BSTR, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::IsProductInstalled(ProductType, BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::IsProductInstalledOnServer(ProductType, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::GetConfigFileName(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::SetConfigFileName(BSTR, BSTR, long, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::GetAccessProtectedFilesAs(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::SetAccessProtectedFilesAs(BSTR, BSTR, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::GetAccessFreeFilesAsAnonymous(BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::SetAccessFreeFilesAsAnonymous(BSTR, long, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::GetDiskQuota(BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::SetDiskQuota(BSTR, long, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::GetDenyPhysicalPath(BSTR, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::SetDenyPhysicalPath(BSTR, long, VARIANT*, long*) { return E_NOTIMPL; }
STDMETHODIMP CInstaller::CheckQarnMembership(BSTR, VARIANT*, long*) { return E_NOTIMPL; }

}  // namespace qarnutil
