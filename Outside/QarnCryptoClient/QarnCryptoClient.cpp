// Stand-in for the crypto client library: no cryptography, only the contract.
//
// Settings (HKCU "Software\QARN Stand-ins\QarnCryptoClient"):
//   "Result"         DWORD  what every operation returns (default 0)
//   "Quiet"          DWORD  non-zero: show no windows
//   "HandOutProfile" DWORD  non-zero: fill the caller's profile holder
//   "Throw"          REG_SZ "std": throw std::runtime_error; "other": throw an int
// Records in "Calls", one line per call:
//   <function>|<input>|<silent level or ->|<profile holder: empty, held or ->
//   ShowStatusReport|<path>=<0 or 1>;...|<silent level>|-
//   Profile released   (when a profile handed out is released by its holder)
#include "QarnCryptoClient.h"

#include <stdexcept>
#include <string>

#include "Com/ComObject.h"
#include "StandInRegistry.h"

namespace {

const char kComponent[] = "QarnCryptoClient";

// A profile object that records its final release.
class CStandInProfile : public qcom::CUnknownBase, public IProfile {
 public:
  explicit CStandInProfile(IUnknown* outer) : CUnknownBase(outer) {}
  ~CStandInProfile() override { standin::AppendCallRecord(kComponent, "Profile released"); }

  QCOM_DELEGATING_IUNKNOWN

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override {
    if (!IsEqualIID(iid, IID_IProfile)) return E_NOINTERFACE;
    *ppv = static_cast<IProfile*>(this);
    return S_OK;
  }
};

void HandOutProfile(CProfilePtr& profile) {
  qcom::CComPtr<IUnknown> created;
  if (SUCCEEDED(qcom::CreateComObject<CStandInProfile>(nullptr, IID_IUnknown, created.PutVoid()))) {
    profile = created.Get();
  }
}

std::string LevelText(SILENT_LEVEL level) { return std::to_string(static_cast<int>(level)); }

// Records the call, throws when told to, shows the operation to a person and
// returns the configured result.
long Operate(const char* function, const CStringA& input, const std::string& level, CProfilePtr* profile,
             bool interactive) {
  const char* holder = profile ? (*profile ? "held" : "empty") : "-";
  standin::AppendCallRecord(kComponent, std::string(function) + "|" + input.GetString() + "|" + level + "|" + holder);
  const std::string toThrow = standin::ReadStringSetting(kComponent, "Throw");
  if (toThrow == "std") throw std::runtime_error(std::string(function) + " failed in the stand-in");
  if (toThrow == "other") throw 42;
  if (profile && standin::ReadDwordSetting(kComponent, "HandOutProfile", 0)) {
    HandOutProfile(*profile);
  }
  if (interactive && !standin::IsQuiet(kComponent)) {
    std::string text = std::string(function) + "\n" + input.GetString();
    ::MessageBoxA(::GetActiveWindow(), text.c_str(), "QarnCryptoClient", MB_OK | MB_ICONINFORMATION);
  }
  return static_cast<long>(standin::ReadDwordSetting(kComponent, "Result", 0));
}

long Operate(const char* function, const CStringA& input, SILENT_LEVEL level, CProfilePtr* profile) {
  return Operate(function, input, LevelText(level), profile, level == SILENT_LEVEL_INTERACTIVE);
}

void NameOutput(CStringA& output, const CStringA& input, const char* extension) {
  output = (std::string(input.GetString()) + extension).c_str();
}

}  // namespace

long CreateNewSignature(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level, CProfilePtr& profile) {
  NameOutput(strOutput, strInput, ".p7s");
  return Operate("CreateNewSignature", strInput, level, &profile);
}

long AddSignature(const CStringA& strInput, SILENT_LEVEL level, CProfilePtr& profile) {
  return Operate("AddSignature", strInput, level, &profile);
}

long EncipherFile(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level, CProfilePtr& profile) {
  NameOutput(strOutput, strInput, ".p7m");
  return Operate("EncipherFile", strInput, level, &profile);
}

long SignAndEncipherFile(const CStringA& strInput, CStringA& strSigned, CStringA& strEnciphered, SILENT_LEVEL level,
                         CProfilePtr& profile) {
  NameOutput(strSigned, strInput, ".p7s");
  NameOutput(strEnciphered, strInput, ".p7s.p7m");
  return Operate("SignAndEncipherFile", strInput, level, &profile);
}

long VerifySignature(const CStringA& strInput) {
  return Operate("VerifySignature", strInput, "-", nullptr, true);
}

long DropAndVerifySignature(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level) {
  NameOutput(strOutput, strInput, ".data");
  return Operate("DropAndVerifySignature", strInput, level, nullptr);
}

long DecipherAndVerifySignature(const CStringA& strInput, CStringA& strDeciphered, CStringA& strData,
                                SILENT_LEVEL level) {
  NameOutput(strDeciphered, strInput, ".p7s");
  NameOutput(strData, strInput, ".data");
  return Operate("DecipherAndVerifySignature", strInput, level, nullptr);
}

long DecipherFile(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level, CProfilePtr& profile) {
  NameOutput(strOutput, strInput, ".data");
  return Operate("DecipherFile", strInput, level, &profile);
}

void ShowStatusReport(const std::map<std::string, bool>& statusMap, SILENT_LEVEL level) {
  std::string entries, report;
  for (const auto& entry : statusMap) {
    entries += entry.first + (entry.second ? "=1;" : "=0;");
    report += entry.first + (entry.second ? ": OK\n" : ": failed\n");
  }
  standin::AppendCallRecord(kComponent, "ShowStatusReport|" + entries + "|" + LevelText(level) + "|-");
  if (!standin::IsQuiet(kComponent)) {
    ::MessageBoxA(::GetActiveWindow(), report.c_str(), "QarnCryptoClient: status", MB_OK | MB_ICONINFORMATION);
  }
}
