// The Installer object, which puts the Vesmoro product line onto a web site
// of the local web server and takes it off again.
#pragma once

#include <string>

#include "Com/ComObject.h"
#include "QarnUtil_h.h"

namespace qarnutil {

class CInstaller : public qcom::CUnknownBase,
                   public qcom::CDispatchImpl<IInstaller, &IID_IInstaller>,
                   public ISupportErrorInfo {
 public:
  explicit CInstaller(IUnknown* outer) : CUnknownBase(outer) {}
  QCOM_DELEGATING_IUNKNOWN

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  STDMETHODIMP InstallVesmoro(BSTR InstanceID, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP UnInstallVesmoro(BSTR InstanceID, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP IsVesmoroInstalled(BSTR InstanceID, long* pbResult) override;
  STDMETHODIMP InstallProduct(ProductType Product, BSTR InstanceID, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP UnInstallProduct(ProductType Product, BSTR InstanceID, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP IsProductInstalled(ProductType Product, BSTR InstanceID, long* pbResult) override;
  STDMETHODIMP IsProductInstalledOnServer(ProductType Product, VARIANT* pBuild, long* pbResult) override;
  STDMETHODIMP GetConfigFileName(BSTR InstanceID, BSTR* pVal) override;
  STDMETHODIMP SetConfigFileName(BSTR InstanceID, BSTR newVal, long bRenameExisting, VARIANT* pLog,
                                 long* pbResult) override;
  STDMETHODIMP GetAccessProtectedFilesAs(BSTR InstanceID, BSTR* pVal) override;
  STDMETHODIMP SetAccessProtectedFilesAs(BSTR InstanceID, BSTR newVal, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP GetAccessFreeFilesAsAnonymous(BSTR InstanceID, long* pVal) override;
  STDMETHODIMP SetAccessFreeFilesAsAnonymous(BSTR InstanceID, long newVal, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP GetDiskQuota(BSTR InstanceID, long* pVal) override;
  STDMETHODIMP SetDiskQuota(BSTR InstanceID, long newVal, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP GetDenyPhysicalPath(BSTR InstanceID, long* pVal) override;
  STDMETHODIMP SetDenyPhysicalPath(BSTR InstanceID, long newVal, VARIANT* pLog, long* pbResult) override;
  STDMETHODIMP CheckQarnMembership(BSTR InstanceID, VARIANT* pInfo, long* pbResult) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;

 private:
  std::string m_strLog;  // the installation log of the running method
};

}  // namespace qarnutil
