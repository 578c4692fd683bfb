// The Installer object, which puts the Vesmoro product line onto a web site
// of the local web server and takes it off again.
#pragma once

#include <string>

#include "Com/ComObject.h"
#include "QarnUtil_h.h"

namespace qarnutil {

class CMDKey;
struct CProduct;

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
  // The frame of the methods that return a log: pointers checked, the log
  // emptied, work run behind the exception boundary (it answers the
  // result), then the log and the result handed out.
  template <class Work>
  HRESULT LoggedMethod(const char* name, VARIANT* pLog, long* pbResult, Work work);

  // Binds key to the site; an empty instance becomes the chosen site's
  // number.
  static HRESULT OpenSite(CMDKey& key, std::string& instance);
  // The same, with the line that says why the site could not be opened.
  bool OpenSiteLogged(CMDKey& key, std::string& instance);

  long InstallLine(const std::string& instanceText);
  long UninstallLine(const std::string& instanceText);
  long InstallOneProduct(long code, std::string instance);
  long UninstallOneProduct(long code, const std::string& instance);
  // Takes the maker's filter off the site; false when the uninstall must
  // stop there (the log says why).
  bool RemoveProductFilter(const CProduct& product, const std::string& instance);
  HRESULT QueryProductOnSite(long code, std::string instance, long& installed);
  HRESULT QueryProductBuild(long code, VARIANT& build, long& installed);

  // The two products with installation work of their own; each answers an
  // HRESULT and its result.
  HRESULT InstallQarnMembership(const std::string& instance, long& result);
  HRESULT InstallKestro(const std::string& instance, long& result);

  // The text of a log that one of the object's own methods handed back.
  static std::string LogText(const VARIANT& log);

  HRESULT ReportError(const wchar_t* description, HRESULT hr);
  HRESULT ReportSystemError(LONG error);

  std::string m_strLog;  // the installation log of the running method
};

}  // namespace qarnutil
