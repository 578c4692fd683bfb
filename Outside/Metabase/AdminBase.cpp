#include "AdminBase.h"

#include <algorithm>
#include <cstring>

namespace metabase {

static_assert(kPermissionRead == METADATA_PERMISSION_READ && kPermissionWrite == METADATA_PERMISSION_WRITE);
static_assert(kAttributeInherit == METADATA_INHERIT && kAttributePartialPath == METADATA_PARTIAL_PATH &&
              kAttributeIsInherited == METADATA_ISINHERITED);
static_assert(kAllMetadata == ALL_METADATA && kDwordData == DWORD_METADATA && kStringData == STRING_METADATA &&
              kBinaryData == BINARY_METADATA && kExpandStringData == EXPANDSZ_METADATA &&
              kMultiStringData == MULTISZ_METADATA);
static_assert(kMaxNameLength == METADATA_MAX_NAME_LEN);

namespace {

// Between two attempts to open a busy key.
constexpr DWORD kBusyRetryMs = 10;

CDataQuery QueryOf(const METADATA_RECORD& record) {
  return CDataQuery{record.dwMDIdentifier, record.dwMDAttributes, record.dwMDUserType, record.dwMDDataType};
}

// Hands a found record to the caller the way IIS does: a buffer too small
// gets ERROR_INSUFFICIENT_BUFFER and the byte count it must have.
HRESULT FillRecord(const CProperty& property, bool inherited, METADATA_RECORD* record, DWORD* required) {
  const DWORD size = static_cast<DWORD>(property.data.size());
  if (record->dwMDDataLen < size) {
    *required = size;
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  }
  if (!record->pbMDData && size > 0) return E_INVALIDARG;
  if (size > 0) std::memcpy(record->pbMDData, property.data.data(), size);
  const bool markInherited = inherited && (record->dwMDAttributes & METADATA_ISINHERITED);
  record->dwMDIdentifier = property.id;
  record->dwMDAttributes = property.attributes | (markInherited ? METADATA_ISINHERITED : 0);
  record->dwMDUserType = property.userType;
  record->dwMDDataType = property.dataType;
  record->dwMDDataLen = size;
  return S_OK;
}

}  // namespace

CAdminBase::CAdminBase(IUnknown* outer) : CUnknownBase(outer), m_file(ConfiguredFilePath()) {}

HRESULT CAdminBase::QueryOwnInterface(REFIID iid, void** ppv) {
  if (!IsEqualIID(iid, IID_IMSAdminBase_W)) return E_NOINTERFACE;
  *ppv = static_cast<IMSAdminBaseW*>(this);
  return S_OK;
}

// --- keys and handles ----------------------------------------------------------------

STDMETHODIMP CAdminBase::AddKey(METADATA_HANDLE handle, LPCWSTR path) {
  return m_file.Run([&](CMetabase& metabase) { return metabase.AddKey(handle, path); });
}

STDMETHODIMP CAdminBase::DeleteKey(METADATA_HANDLE handle, LPCWSTR path) {
  return m_file.Run([&](CMetabase& metabase) { return metabase.DeleteKey(handle, path); });
}

STDMETHODIMP CAdminBase::DeleteChildKeys(METADATA_HANDLE handle, LPCWSTR path) {
  return m_file.Run([&](CMetabase& metabase) { return metabase.DeleteChildKeys(handle, path); });
}

STDMETHODIMP CAdminBase::EnumKeys(METADATA_HANDLE handle, LPCWSTR path, LPWSTR name, DWORD index) {
  if (!name) return E_INVALIDARG;
  std::wstring found;
  HRESULT hr = m_file.Run([&](CMetabase& metabase) { return metabase.EnumKeys(handle, path, index, &found); });
  if (SUCCEEDED(hr)) ::lstrcpynW(name, found.c_str(), METADATA_MAX_NAME_LEN);
  return hr;
}

// IIS waits for a busy key up to the caller's time-out; so does the stand-in,
// trying again while the other handle may still be closed.
STDMETHODIMP CAdminBase::OpenKey(METADATA_HANDLE handle, LPCWSTR path, DWORD permissions, DWORD timeoutMs,
                                 PMETADATA_HANDLE newHandle) {
  if (!newHandle) return E_INVALIDARG;
  *newHandle = 0;
  const COwner owner = CurrentOwner();
  const DWORD start = ::GetTickCount();
  for (;;) {
    uint32_t opened = 0;
    HRESULT hr = m_file.Run(
        [&](CMetabase& metabase) { return metabase.OpenKey(handle, path, permissions, owner, &opened); });
    if (SUCCEEDED(hr)) *newHandle = opened;
    const DWORD waited = ::GetTickCount() - start;
    if (hr != HRESULT_FROM_WIN32(ERROR_PATH_BUSY) || waited >= timeoutMs) return hr;
    ::Sleep(std::min(kBusyRetryMs, timeoutMs - waited));
  }
}

STDMETHODIMP CAdminBase::CloseKey(METADATA_HANDLE handle) {
  return m_file.Run([&](CMetabase& metabase) { return metabase.CloseKey(handle); });
}

STDMETHODIMP CAdminBase::GetHandleInfo(METADATA_HANDLE handle, PMETADATA_HANDLE_INFO info) {
  if (!info) return E_INVALIDARG;
  uint32_t permissions = 0;
  HRESULT hr =
      m_file.Run([&](CMetabase& metabase) { return metabase.HandlePermissions(handle, &permissions); });
  if (SUCCEEDED(hr)) *info = METADATA_HANDLE_INFO{permissions, 0};
  return hr;
}

// --- data --------------------------------------------------------------------------

STDMETHODIMP CAdminBase::SetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record) {
  if (!record || !record->pbMDData) return E_INVALIDARG;
  if (record->dwMDDataType < DWORD_METADATA || record->dwMDDataType >= INVALID_END_METADATA) return E_INVALIDARG;
  CProperty property{record->dwMDIdentifier, record->dwMDAttributes, record->dwMDUserType, record->dwMDDataType,
                     StoredData(record->dwMDDataType, record->pbMDData, record->dwMDDataLen)};
  return m_file.Run([&](CMetabase& metabase) { return metabase.SetData(handle, path, property); });
}

STDMETHODIMP CAdminBase::GetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record, DWORD* required) {
  if (!record || !required) return E_INVALIDARG;
  CFoundData found;
  HRESULT hr =
      m_file.Run([&](CMetabase& metabase) { return metabase.GetData(handle, path, QueryOf(*record), &found); });
  return FAILED(hr) ? hr : FillRecord(found.property, found.inherited, record, required);
}

STDMETHODIMP CAdminBase::DeleteData(METADATA_HANDLE handle, LPCWSTR path, DWORD id, DWORD dataType) {
  return m_file.Run([&](CMetabase& metabase) { return metabase.DeleteData(handle, path, id, dataType); });
}

STDMETHODIMP CAdminBase::EnumData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record, DWORD index,
                                  DWORD* required) {
  if (!record || !required) return E_INVALIDARG;
  CProperty property;
  HRESULT hr = m_file.Run(
      [&](CMetabase& metabase) { return metabase.EnumData(handle, path, QueryOf(*record), index, &property); });
  return FAILED(hr) ? hr : FillRecord(property, false, record, required);
}

// Every operation is saved as it ends.
STDMETHODIMP CAdminBase::SaveData() { return S_OK; }

// --- not offered: nothing in the system or its tests uses these ----------------------

STDMETHODIMP CAdminBase::CopyKey(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, WINBOOL, WINBOOL) {
  return E_NOTIMPL;
}
STDMETHODIMP CAdminBase::RenameKey(METADATA_HANDLE, LPCWSTR, LPCWSTR) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::GetAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, DWORD*, DWORD*, DWORD,
                                    unsigned char*, DWORD*) {
  return E_NOTIMPL;
}
STDMETHODIMP CAdminBase::DeleteAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::CopyData(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD,
                                  WINBOOL) {
  return E_NOTIMPL;
}
STDMETHODIMP CAdminBase::GetDataPaths(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, WCHAR*, DWORD*) {
  return E_NOTIMPL;
}
STDMETHODIMP CAdminBase::ChangePermissions(METADATA_HANDLE, DWORD, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::GetSystemChangeNumber(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::GetDataSetNumber(METADATA_HANDLE, LPCWSTR, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::SetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME, WINBOOL) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::GetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME, WINBOOL) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::KeyExchangePhase1() { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::KeyExchangePhase2() { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::Backup(LPCWSTR, DWORD, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::Restore(LPCWSTR, DWORD, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::EnumBackups(LPWSTR, DWORD*, PFILETIME, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::DeleteBackup(LPCWSTR, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CAdminBase::UnmarshalInterface(IMSAdminBaseW** other) {
  if (other) *other = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP CAdminBase::GetServerGuid() { return E_NOTIMPL; }

}  // namespace metabase
