// The management commands: certificate stores, the provider list and the
// profile manager (outside COM components), and the error report by mail.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <string>
#include <utility>

namespace zarvek {

// The failure of a call on an outside component, with the description the
// component left through its error information (empty when it left none).
class CComError {
 public:
  CComError(HRESULT hr, std::string description) : m_hr(hr), m_strDescription(std::move(description)) {}
  HRESULT Error() const { return m_hr; }
  const std::string& Description() const { return m_strDescription; }

 private:
  HRESULT m_hr;
  std::string m_strDescription;
};

// Throws CComError when hr is a failure code of a call on component
// through interface iid.
void CheckComCall(HRESULT hr, IUnknown* component, REFIID iid);

void OpenCertificateStore(const wchar_t* storeName);
void ShowCryptoProviders();
void OpenProfileManager();
void WriteErrorReport();

}  // namespace zarvek
