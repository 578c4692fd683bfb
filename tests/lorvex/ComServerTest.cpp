// The lorvex module as COM sees it: its registration, its entry points,
// late binding through the type library, and a VBScript client.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace lorvex_test {
namespace {

const char kClsid[] = "{18415BCC-3CBD-4259-9378-B493C9DDDE7F}";

std::string RegistryText(const std::string& key, const char* value = nullptr) {
  char text[1024] = {};
  DWORD size = sizeof(text);
  if (::RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return "<missing>";
  }
  return text;
}

bool KeyExists(const std::string& key) {
  qwin::CRegKey opened;
  return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS;
}

TEST(ComServer, RegistryEntries) {
  const std::string classKey = std::string("CLSID\\") + kClsid;
  EXPECT_EQ(RegistryText("Lorvex.CRLUpdate.1"), "CRLUpdate Class");
  EXPECT_EQ(RegistryText("Lorvex.CRLUpdate.1\\CLSID"), kClsid);
  EXPECT_EQ(RegistryText("Lorvex.CRLUpdate"), "CRLUpdate Class");
  EXPECT_EQ(RegistryText("Lorvex.CRLUpdate\\CLSID"), kClsid);
  EXPECT_EQ(RegistryText("Lorvex.CRLUpdate\\CurVer"), "Lorvex.CRLUpdate.1");
  EXPECT_EQ(RegistryText(classKey), "CRLUpdate Class");
  EXPECT_EQ(RegistryText(classKey + "\\ProgID"), "Lorvex.CRLUpdate.1");
  EXPECT_EQ(RegistryText(classKey + "\\VersionIndependentProgID"), "Lorvex.CRLUpdate");
  EXPECT_TRUE(KeyExists(classKey + "\\Programmable"));
  EXPECT_EQ(RegistryText(classKey + "\\InprocServer32", "ThreadingModel"), "Both");
  const std::string server = RegistryText(classKey + "\\InprocServer32");
  EXPECT_EQ(server.substr(server.size() - 10), "lorvex.dll") << server;
  EXPECT_EQ(RegistryText(classKey + "\\TypeLib"), "{5FEAD6AF-34C0-4766-AA13-8B69D214A4E4}");
  EXPECT_TRUE(KeyExists("TypeLib\\{5FEAD6AF-34C0-4766-AA13-8B69D214A4E4}\\1.0"));
}

TEST(ComServer, LateBindingThroughTheTypeLibrary) {
  CLSID clsid;
  ASSERT_EQ(::CLSIDFromProgID(L"Lorvex.CRLUpdate", &clsid), S_OK);
  qcom::CComPtr<IDispatch> updater;
  ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, updater.PutVoid()), S_OK);
  const wchar_t* names[] = {L"Update_BASE64", L"Update_BINARY", L"UpdateInterval", L"Update", L"StoreLocation"};
  for (DISPID expected = 1; expected <= 5; ++expected) {
    LPOLESTR name = const_cast<LPOLESTR>(names[expected - 1]);
    DISPID id = 0;
    EXPECT_EQ(updater->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, expected) << names[expected - 1];
  }
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = 600;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put = {&value, &named, 1, 1};
  EXPECT_EQ(updater->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
            S_OK);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(updater->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 600);
}

// The module's own entry points, without the COM runtime in between.
class ModuleEntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    m_module = ::LoadLibraryA(EnvironmentValue("LORVEX_DLL").c_str());
    ASSERT_TRUE(m_module);
    m_getClassObject = reinterpret_cast<decltype(&::DllGetClassObject)>(
        reinterpret_cast<void*>(::GetProcAddress(m_module, "DllGetClassObject")));
    m_canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(m_module, "DllCanUnloadNow")));
    ASSERT_TRUE(m_getClassObject && m_canUnloadNow);
    ASSERT_TRUE(::GetProcAddress(m_module, "DllRegisterServer") && ::GetProcAddress(m_module, "DllUnregisterServer"));
  }
  void TearDown() override {
    if (m_module) ::FreeLibrary(m_module);
  }

  HMODULE m_module = nullptr;
  decltype(&::DllGetClassObject) m_getClassObject = nullptr;
  HRESULT(STDAPICALLTYPE* m_canUnloadNow)() = nullptr;
};

TEST_F(ModuleEntryPoints, ObjectsKeepTheModuleLoaded) {
  CLSID clsid;
  ASSERT_EQ(::CLSIDFromString(L"{18415BCC-3CBD-4259-9378-B493C9DDDE7F}", &clsid), S_OK);
  EXPECT_EQ(m_canUnloadNow(), S_OK);
  qcom::CComPtr<IClassFactory> factory;
  ASSERT_EQ(m_getClassObject(clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);
  qcom::CComPtr<ICRLUpdate> updater;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICRLUpdate, updater.PutVoid()), S_OK);
  factory.Reset();
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);
  updater.Reset();
  EXPECT_EQ(m_canUnloadNow(), S_OK);

  EXPECT_EQ(m_getClassObject(IID_IDispatch, IID_IClassFactory, factory.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ModuleEntryPoints, UnregistrationRemovesTheEntriesAndRegistrationRestoresThem) {
  auto unregister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(::GetProcAddress(m_module, "DllUnregisterServer")));
  auto reregister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(::GetProcAddress(m_module, "DllRegisterServer")));
  const std::string keys[] = {"Lorvex.CRLUpdate", "Lorvex.CRLUpdate.1", std::string("CLSID\\") + kClsid,
                              "TypeLib\\{5FEAD6AF-34C0-4766-AA13-8B69D214A4E4}"};
  ASSERT_EQ(unregister(), S_OK);
  for (const std::string& key : keys) EXPECT_FALSE(KeyExists(key)) << key;
  EXPECT_TRUE(KeyExists("CLSID"));
  ASSERT_EQ(reregister(), S_OK);
  for (const std::string& key : keys) EXPECT_TRUE(KeyExists(key)) << key;
}

TEST_F(ModuleEntryPoints, Aggregation) {
  CLSID clsid;
  ASSERT_EQ(::CLSIDFromString(L"{18415BCC-3CBD-4259-9378-B493C9DDDE7F}", &clsid), S_OK);
  qcom::CComPtr<IClassFactory> factory;
  ASSERT_EQ(m_getClassObject(clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
  qcom::CComPtr<IUnknown> outer;
  ASSERT_EQ(::CreateErrorInfo(reinterpret_cast<ICreateErrorInfo**>(outer.PutVoid())), S_OK);  // any live object
  qcom::CComPtr<IUnknown> inner;
  EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_ICRLUpdate, inner.PutVoid()), CLASS_E_NOAGGREGATION);
  ASSERT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, inner.PutVoid()), S_OK);
  qcom::CComPtr<ICRLUpdate> updater;
  EXPECT_EQ(inner.QueryInterface(IID_ICRLUpdate, updater), S_OK);
}

// Runs a program and returns its exit code.
DWORD RunProgram(std::string commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return ::GetLastError();
  }
  qwin::CHandle processHandle(process.hProcess), threadHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, 120000);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  return exitCode;
}

TEST(VBScriptClient, PropertiesAndUpdate) {
  // The client updates for a certificate without distribution points, whose
  // issuer it finds in the user's "ROOT" store; SystemStores has put the test
  // CA there, and does so again here in case it ran first.
  lorvex::CTempStore root(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                          CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT"));
  const Bytes ca = ReadPkiFile("ca.cer");
  ASSERT_TRUE(::CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING, ca.data(),
                                                 static_cast<DWORD>(ca.size()), CERT_STORE_ADD_USE_EXISTING, nullptr));
  const std::string command = "cscript.exe //nologo \"" + EnvironmentValue("LORVEX_VBS_CLIENT") + "\" \"" +
                              PkiPath("leaf_nocdp.b64") + "\"";
  EXPECT_EQ(RunProgram(command), 0u) << "the script's exit code names the failed check";
}

}  // namespace
}  // namespace lorvex_test
