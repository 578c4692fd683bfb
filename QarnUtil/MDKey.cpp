#include "MDKey.h"

#include <cstdlib>
#include <cwchar>

#include "Win32/Handles.h"
#include "logging.h"

namespace qarnutil {

namespace {

// Every class context: the metabase may live in-process or in the IIS
// Admin service.
constexpr DWORD kMetabaseClassContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                                        CLSCTX_REMOTE_SERVER;
constexpr DWORD kOpenTimeout = 60000;
constexpr DWORD kNoSiteNumber = 0x0FFFFFFF;
constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);

METADATA_RECORD Record(DWORD identifier, DWORD attributes, DWORD userType, DWORD dataType, DWORD length,
                       void* data) {
  METADATA_RECORD record = {};
  record.dwMDIdentifier = identifier;
  record.dwMDAttributes = attributes;
  record.dwMDUserType = userType;
  record.dwMDDataType = dataType;
  record.dwMDDataLen = length;
  record.pbMDData = static_cast<unsigned char*>(data);
  return record;
}

DWORD InheritAttribute(BOOL inherit) { return inherit ? METADATA_INHERIT : METADATA_NO_ATTRIBUTES; }

// The site number in a key name: its leading decimal digits, 0 when there
// are none ("Filters", "Info"). Numbers beyond any site's are not counted.
DWORD SiteNumberOf(const wchar_t* name) {
  DWORD number = 0;
  for (; *name >= L'0' && *name <= L'9'; ++name) {
    number = number * 10 + static_cast<DWORD>(*name - L'0');
    if (number >= kNoSiteNumber) return 0;
  }
  return number;
}

// A freshly allocated string of no characters, for the caller to free.
wchar_t* EmptyRuntimeString() { return static_cast<wchar_t*>(std::calloc(1, sizeof(wchar_t))); }

}  // namespace

HRESULT CMetabaseHandle::Close() {
  if (m_handle == 0) return S_OK;
  const HRESULT hr = m_adminBase->CloseKey(m_handle);
  m_handle = 0;
  return hr;
}

HRESULT CMDKey::_Init(const wchar_t* instance) {
  QTRACE_FUNCTION("CMDKey::_Init");
  QRETURN_IF_FAILED("m_piAdminBase.CoCreateInstance(CLSID_MSAdminBase)",
                    ::CoCreateInstance(m_metabaseClass, nullptr, kMetabaseClassContext, IID_IMSAdminBase_W,
                                       m_piAdminBase.PutVoid()));
  const std::wstring chosen = instance ? std::wstring(instance) : LowestSiteNumber();
  m_strInstance = chosen;
  m_strRootPath = L"LM/W3SVC/" + chosen;
  return S_OK;
}

std::wstring CMDKey::LowestSiteNumber() {
  DWORD candidate = kNoSiteNumber;
  CMetabaseHandle lm(m_piAdminBase.Get());
  if (SUCCEEDED(m_piAdminBase->OpenKey(METADATA_MASTER_ROOT_HANDLE, L"LM", METADATA_PERMISSION_READ, kOpenTimeout,
                                       lm.Put()))) {
    wchar_t name[METADATA_MAX_NAME_LEN + 1] = {};
    for (DWORD index = 0; SUCCEEDED(m_piAdminBase->EnumKeys(lm.Get(), L"W3SVC", name, index)); ++index) {
      name[METADATA_MAX_NAME_LEN] = L'\0';
      const DWORD number = SiteNumberOf(name);
      if (number != 0 && number < candidate) candidate = number;
    }
  }
  return std::to_wstring(candidate);
}

template <class Call>
HRESULT CMDKey::OnKey(METADATA_HANDLE handle, const wchar_t* keyPath, DWORD permission, Call call) {
  if (!m_piAdminBase) return E_UNEXPECTED;
  if (handle != 0) return call(handle);
  CMetabaseHandle opened(m_piAdminBase.Get());
  QRETURN_IF_FAILED("m_piAdminBase->OpenKey",
                    m_piAdminBase->OpenKey(METADATA_MASTER_ROOT_HANDLE, keyPath ? keyPath : m_strRootPath.c_str(),
                                           permission, kOpenTimeout, opened.Put()));
  return call(opened.Get());
}

HRESULT CMDKey::GetString(const wchar_t* path, DWORD identifier, DWORD userType, wchar_t** value,
                          METADATA_HANDLE handle, const wchar_t* keyPath) {
  QTRACE_FUNCTION("CMDKey::GetString");
  if (!value) return E_POINTER;
  *value = nullptr;
  return OnKey(handle, keyPath, METADATA_PERMISSION_READ, [&](METADATA_HANDLE key) -> HRESULT {
    METADATA_RECORD record = Record(identifier, METADATA_NO_ATTRIBUTES, userType, STRING_METADATA, 0, nullptr);
    DWORD required = 0;
    HRESULT hr = m_piAdminBase->GetData(key, path, &record, &required);
    if (hr == kMetabaseDataNotFound || hr == S_OK) {
      // An absent string reads as an empty one; so does a value of no
      // bytes, which must not leave the caller without a string.
      if (hr == kMetabaseDataNotFound) QLOG_MESSAGE(ERROR, "MD_ERROR_DATA_NOT_FOUND in m_piAdminBase->GetData");
      *value = EmptyRuntimeString();
      return *value ? S_OK : E_OUTOFMEMORY;
    }
    if (hr != kInsufficientBuffer) return hr;
    QLOG_MESSAGE(ERROR, "ERROR_INSUFFICIENT_BUFFER in m_piAdminBase->GetData");
    // Twice the reported size and zero-filled, so that the text is
    // terminated whatever the metabase writes into it.
    qwin::CRuntimeMemory<wchar_t> buffer(
        static_cast<wchar_t*>(std::calloc(2 * static_cast<size_t>(required) + sizeof(wchar_t), 1)));
    if (!buffer) return E_OUTOFMEMORY;
    record.dwMDDataLen = required;
    record.pbMDData = reinterpret_cast<unsigned char*>(buffer.Get());
    hr = m_piAdminBase->GetData(key, path, &record, &required);
    *value = buffer.Release();
    return hr;
  });
}

HRESULT CMDKey::SetString(const wchar_t* path, DWORD identifier, const wchar_t* value, DWORD userType, BOOL inherit,
                          METADATA_HANDLE handle, const wchar_t* keyPath) {
  QTRACE_FUNCTION("CMDKey::SetString");
  if (!value) return E_POINTER;
  const size_t bytes = (std::wcslen(value) + 1) * sizeof(wchar_t);
  if (bytes > MAXDWORD) return E_INVALIDARG;
  return OnKey(handle, keyPath, METADATA_PERMISSION_WRITE, [&](METADATA_HANDLE key) {
    METADATA_RECORD record = Record(identifier, InheritAttribute(inherit), userType, STRING_METADATA,
                                    static_cast<DWORD>(bytes), const_cast<wchar_t*>(value));
    return m_piAdminBase->SetData(key, path, &record);
  });
}

HRESULT CMDKey::GetDWORD(const wchar_t* path, DWORD identifier, DWORD userType, DWORD* value, METADATA_HANDLE handle,
                         const wchar_t* keyPath) {
  QTRACE_FUNCTION("CMDKey::GetDWORD");
  if (!value) return E_POINTER;
  return OnKey(handle, keyPath, METADATA_PERMISSION_READ, [&](METADATA_HANDLE key) {
    METADATA_RECORD record =
        Record(identifier, METADATA_NO_ATTRIBUTES, userType, DWORD_METADATA, sizeof(DWORD), value);
    DWORD required = 0;
    const HRESULT hr = m_piAdminBase->GetData(key, path, &record, &required);
    if (SUCCEEDED(hr)) return hr;
    QLOG_MESSAGE(ERROR, "Error in m_piAdminBase->GetData");
    if (hr != kMetabaseDataNotFound) return hr;
    *value = 0xFFFFFFFF;  // an absent value reads as "none"
    return S_OK;
  });
}

HRESULT CMDKey::SetDWORD(const wchar_t* path, DWORD identifier, DWORD value, DWORD userType, BOOL inherit,
                         METADATA_HANDLE handle, const wchar_t* keyPath) {
  QTRACE_FUNCTION("CMDKey::SetDWORD");
  return OnKey(handle, keyPath, METADATA_PERMISSION_WRITE, [&](METADATA_HANDLE key) {
    METADATA_RECORD record =
        Record(identifier, InheritAttribute(inherit), userType, DWORD_METADATA, sizeof(DWORD), &value);
    return m_piAdminBase->SetData(key, path, &record);
  });
}

HRESULT CMDKey::AddKey(const wchar_t* path, METADATA_HANDLE handle, const wchar_t* keyPath) {
  QTRACE_FUNCTION("CMDKey::AddKey");
  return OnKey(handle, keyPath, METADATA_PERMISSION_WRITE,
               [&](METADATA_HANDLE key) { return m_piAdminBase->AddKey(key, path); });
}

HRESULT CMDKey::DeleteKey(const wchar_t* path, METADATA_HANDLE handle, const wchar_t* keyPath) {
  QTRACE_FUNCTION("CMDKey::DeleteKey");
  return OnKey(handle, keyPath, METADATA_PERMISSION_WRITE,
               [&](METADATA_HANDLE key) { return m_piAdminBase->DeleteKey(key, path); });
}

HRESULT CMDKey::OpenKey(METADATA_HANDLE parent, const wchar_t* path, DWORD permissions, METADATA_HANDLE* handle) {
  if (!handle) return E_POINTER;
  *handle = 0;
  if (!m_piAdminBase) return E_UNEXPECTED;
  return m_piAdminBase->OpenKey(parent, path ? path : m_strRootPath.c_str(), permissions, kOpenTimeout, handle);
}

HRESULT CMDKey::CloseKey(METADATA_HANDLE handle) {
  if (!m_piAdminBase) return E_UNEXPECTED;
  return m_piAdminBase->CloseKey(handle);
}

HRESULT CMDKey::EnumKeys(METADATA_HANDLE handle, const wchar_t* path, wchar_t* name, DWORD index) {
  if (!name) return E_POINTER;
  if (!m_piAdminBase) return E_UNEXPECTED;
  return m_piAdminBase->EnumKeys(handle, path, name, index);
}

}  // namespace qarnutil
