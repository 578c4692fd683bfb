// QarnUtil as a COM client sees it: activation by ProgID, GenGUID through
// the vtable and through IDispatch, aggregation, and the registered type
// library.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "Com/ComPtr.h"
#include "ComEnvironment.h"
#include "QarnUtil_h.h"

using qcom::CBstr;
using qcom::CComPtr;

namespace {

const auto* const g_com = ::testing::AddGlobalTestEnvironment(new qtest::CComEnvironment);

const DISPID kGenGuidDispid = 0x60020000;

CLSID ClassOf(const wchar_t* progId) {
  CLSID clsid = GUID_NULL;
  EXPECT_HRESULT_SUCCEEDED(::CLSIDFromProgID(progId, &clsid)) << "ProgID not registered";
  return clsid;
}

CComPtr<IGUID> CreateGuidObject() {
  CComPtr<IGUID> object;
  EXPECT_HRESULT_SUCCEEDED(::CoCreateInstance(ClassOf(L"QarnUtil.GUID"), nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IGUID, object.PutVoid()));
  return object;
}

void ExpectGuidText(const std::string& text) {
  ASSERT_EQ(32u, text.size()) << text;
  for (char c : text) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')) << text;
}

// Inserts the hyphens and braces of the registry form and parses it back.
void ExpectParsesBack(const std::string& text) {
  std::string registryForm = "{" + text.substr(0, 8) + "-" + text.substr(8, 4) + "-" + text.substr(12, 4) +
                             "-" + text.substr(16, 4) + "-" + text.substr(20) + "}";
  GUID guid;
  std::wstring wide(registryForm.begin(), registryForm.end());
  ASSERT_HRESULT_SUCCEEDED(::CLSIDFromString(&wide[0], &guid)) << registryForm;
  wchar_t printed[40];
  ::StringFromGUID2(guid, printed, 40);
  EXPECT_EQ(wide, std::wstring(printed));
}

}  // namespace

TEST(ProgIds, BothFormsActivateTheirClasses) {
  EXPECT_TRUE(IsEqualCLSID(CLSID___GUID, ClassOf(L"QarnUtil.GUID")));
  EXPECT_TRUE(IsEqualCLSID(CLSID___GUID, ClassOf(L"QarnUtil.GUID.1")));
  EXPECT_TRUE(IsEqualCLSID(CLSID_Installer, ClassOf(L"QarnUtil.Installer")));
  EXPECT_TRUE(IsEqualCLSID(CLSID_Installer, ClassOf(L"QarnUtil.Installer.1")));

  CComPtr<IInstaller> installer;
  EXPECT_HRESULT_SUCCEEDED(::CoCreateInstance(ClassOf(L"QarnUtil.Installer.1"), nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IInstaller, installer.PutVoid()));
  CComPtr<ISupportErrorInfo> errorInfo;
  ASSERT_HRESULT_SUCCEEDED(installer.QueryInterface(IID_ISupportErrorInfo, errorInfo));
  EXPECT_EQ(S_OK, errorInfo->InterfaceSupportsErrorInfo(IID_IInstaller));
}

TEST(GenGuid, VtableCallsGiveDistinctCompactGuids) {
  CComPtr<IGUID> object = CreateGuidObject();
  ASSERT_TRUE(object);
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    CBstr text;
    ASSERT_EQ(S_OK, object->get_GenGUID(text.Put()));
    std::string narrow = qcom::BstrToAnsi(text.Get());
    ExpectGuidText(narrow);
    ExpectParsesBack(narrow);
    EXPECT_TRUE(seen.insert(narrow).second) << "repeated " << narrow;
  }
  EXPECT_EQ(E_POINTER, object->get_GenGUID(nullptr));
}

TEST(GenGuid, DispatchInvokeWithTheCompilerAssignedDispid) {
  CComPtr<IGUID> object = CreateGuidObject();
  ASSERT_TRUE(object);
  CComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(object.QueryInterface(IID_IDispatch, dispatch));

  LPOLESTR name = const_cast<LPOLESTR>(L"GenGUID");
  DISPID id = 0;
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
  EXPECT_EQ(kGenGuidDispid, id);

  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_HRESULT_SUCCEEDED(dispatch->Invoke(kGenGuidDispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                            &none, &result, nullptr, nullptr));
  ASSERT_EQ(VT_BSTR, result.vt);
  ExpectGuidText(qcom::BstrToAnsi(result.bstrVal));
  ::VariantClear(&result);

  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, dispatch->Invoke(kGenGuidDispid, IID_NULL, LOCALE_USER_DEFAULT,
                                                    DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr));
}

// A minimal controlling object for the aggregation test.
class COuter : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return m_inner ? m_inner->QueryInterface(iid, ppv) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override { return --m_refs; }

  ULONG m_refs = 1;
  CComPtr<IUnknown> m_inner;
};

TEST(Aggregation, InnerObjectDelegatesToTheOuterUnknown) {
  COuter outer;
  CLSID clsid = ClassOf(L"QarnUtil.GUID");
  CComPtr<IGUID> refused;
  EXPECT_EQ(CLASS_E_NOAGGREGATION,
            ::CoCreateInstance(clsid, &outer, CLSCTX_INPROC_SERVER, IID_IGUID, refused.PutVoid()));

  ASSERT_HRESULT_SUCCEEDED(
      ::CoCreateInstance(clsid, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, outer.m_inner.PutVoid()));
  IGUID* guid = nullptr;
  ASSERT_HRESULT_SUCCEEDED(outer.QueryInterface(IID_IGUID, reinterpret_cast<void**>(&guid)));
  ULONG before = outer.m_refs;
  guid->AddRef();
  EXPECT_EQ(before + 1, outer.m_refs) << "AddRef on the inner interface must reach the outer object";
  guid->Release();

  // The inner interface's QueryInterface answers with the outer identity.
  IUnknown* identity = nullptr;
  ASSERT_HRESULT_SUCCEEDED(guid->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
  identity->Release();
  guid->Release();
  outer.m_inner.Reset();
}

TEST(ClassFactory, UnknownClassAndUnloadState) {
  HMODULE module = ::GetModuleHandleW(L"QarnUtil.dll");
  if (!module) module = ::LoadLibraryW(L"QarnUtil.dll");
  ASSERT_NE(nullptr, module);
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
  auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_TRUE(getClassObject && canUnload);

  void* factory = nullptr;
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IGUID, IID_IClassFactory, &factory));
  EXPECT_EQ(nullptr, factory);
  EXPECT_EQ(E_POINTER, getClassObject(CLSID___GUID, IID_IClassFactory, nullptr));

  CComPtr<IClassFactory> guidFactory;
  ASSERT_HRESULT_SUCCEEDED(getClassObject(CLSID___GUID, IID_IClassFactory, guidFactory.PutVoid()));
  EXPECT_EQ(S_FALSE, canUnload());
  CComPtr<IGUID> object;
  ASSERT_HRESULT_SUCCEEDED(guidFactory->CreateInstance(nullptr, IID_IGUID, object.PutVoid()));
  guidFactory.Reset();
  EXPECT_EQ(S_FALSE, canUnload()) << "a live object keeps the module";
  object.Reset();
  EXPECT_EQ(S_OK, canUnload());
}

class RegisteredTypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(::LoadRegTypeLib(LIBID_QARNUTILLib, 1, 0, 0x0409, m_typeLib.Put()));
  }
  std::wstring DocString(ITypeInfo* info, MEMBERID id) {
    CBstr doc;
    EXPECT_HRESULT_SUCCEEDED(info->GetDocumentation(id, nullptr, doc.Put(), nullptr, nullptr));
    return doc.Get() ? std::wstring(doc.Get()) : std::wstring();
  }
  CComPtr<ITypeInfo> InfoOf(REFGUID guid) {
    CComPtr<ITypeInfo> info;
    EXPECT_HRESULT_SUCCEEDED(m_typeLib->GetTypeInfoOfGuid(guid, info.Put()));
    return info;
  }
  // The vtable half of a dual interface.
  CComPtr<ITypeInfo> VtableInfoOf(REFGUID guid) {
    CComPtr<ITypeInfo> dispatchInfo = InfoOf(guid);
    CComPtr<ITypeInfo> info;
    HREFTYPE ref = 0;
    if (dispatchInfo && SUCCEEDED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))) {
      dispatchInfo->GetRefTypeInfo(ref, info.Put());
    }
    return info;
  }
  CComPtr<ITypeLib> m_typeLib;
};

TEST_F(RegisteredTypeLibrary, LibraryAndClassHelpStrings) {
  CBstr name, doc;
  ASSERT_HRESULT_SUCCEEDED(m_typeLib->GetDocumentation(-1, name.Put(), doc.Put(), nullptr, nullptr));
  EXPECT_EQ(L"QARNUTILLib", std::wstring(name.Get()));
  EXPECT_EQ(L"QarnUtil 1.0 Type Library", std::wstring(doc.Get()));
  TLIBATTR* attributes = nullptr;
  ASSERT_HRESULT_SUCCEEDED(m_typeLib->GetLibAttr(&attributes));
  EXPECT_EQ(0x0409u, attributes->lcid);
  EXPECT_EQ(1, attributes->wMajorVerNum);
  EXPECT_EQ(0, attributes->wMinorVerNum);
  m_typeLib->ReleaseTLibAttr(attributes);

  EXPECT_EQ(L"__GUID Class", DocString(InfoOf(CLSID___GUID).Get(), MEMBERID_NIL));
  EXPECT_EQ(L"Installer Class", DocString(InfoOf(CLSID_Installer).Get(), MEMBERID_NIL));
  EXPECT_EQ(L"IGUID Interface", DocString(InfoOf(IID_IGUID).Get(), MEMBERID_NIL));
  EXPECT_EQ(L"Generate GUID", DocString(InfoOf(IID_IGUID).Get(), kGenGuidDispid));
}

TEST_F(RegisteredTypeLibrary, InstallerMembersInDispidOrder) {
  static const wchar_t* const kMethods[] = {
      L"InstallVesmoro", L"UnInstallVesmoro", L"IsVesmoroInstalled", L"InstallProduct",
      L"UnInstallProduct", L"IsProductInstalled", L"IsProductInstalledOnServer", L"GetConfigFileName",
      L"SetConfigFileName", L"GetAccessProtectedFilesAs", L"SetAccessProtectedFilesAs",
      L"GetAccessFreeFilesAsAnonymous", L"SetAccessFreeFilesAsAnonymous", L"GetDiskQuota", L"SetDiskQuota",
      L"GetDenyPhysicalPath", L"SetDenyPhysicalPath", L"CheckQarnMembership"};
  CComPtr<ITypeInfo> info = VtableInfoOf(IID_IInstaller);
  ASSERT_TRUE(info);
  // The dual interface's own members follow IDispatch's seven slots.
  for (UINT index = 0; index < 18; ++index) {
    FUNCDESC* function = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetFuncDesc(index, &function));
    EXPECT_EQ(static_cast<MEMBERID>(index + 1), function->memid);
    EXPECT_EQ(static_cast<SHORT>((7 + index) * sizeof(void*)), function->oVft);
    CBstr name;
    UINT count = 0;
    ASSERT_HRESULT_SUCCEEDED(info->GetNames(function->memid, name.Put(), 1, &count));
    EXPECT_EQ(std::wstring(kMethods[index]), std::wstring(name.Get()));
    info->ReleaseFuncDesc(function);
  }
}

TEST_F(RegisteredTypeLibrary, ProductTypeEnumeration) {
  CComPtr<ITypeInfo> productType;
  MEMBERID id = 0;
  USHORT found = 1;
  CBstr name(L"ProductType");
  ITypeInfo* infos[1] = {};
  ASSERT_HRESULT_SUCCEEDED(m_typeLib->FindName(name.Get(), 0, infos, &id, &found));
  ASSERT_EQ(1, found);
  productType.Attach(infos[0]);
  TYPEATTR* attributes = nullptr;
  ASSERT_HRESULT_SUCCEEDED(productType->GetTypeAttr(&attributes));
  EXPECT_EQ(TKIND_ENUM, attributes->typekind);
  EXPECT_EQ(20, attributes->cVars);
  EXPECT_EQ(4u, attributes->cbSizeInstance);
  const WORD count = attributes->cVars;
  productType->ReleaseTypeAttr(attributes);
  for (WORD index = 0; index < count; ++index) {
    VARDESC* variable = nullptr;
    ASSERT_HRESULT_SUCCEEDED(productType->GetVarDesc(index, &variable));
    CBstr memberName;
    UINT names = 0;
    productType->GetNames(variable->memid, memberName.Put(), 1, &names);
    const LONG value = variable->lpvarValue->lVal;
    EXPECT_EQ(static_cast<LONG>(index), value);
    if (value == 5) {
      EXPECT_EQ(L"QarnMembership_10", std::wstring(memberName.Get()));
    }
    if (value == 8) {
      EXPECT_EQ(L"QarnKestro_10", std::wstring(memberName.Get()));
    }
    productType->ReleaseVarDesc(variable);
  }
}
