// The stand-in IIS Admin Base Object: IMSAdminBaseW over the metabase file.
// Every call is one operation on the file (MetabaseFile.h); the object itself
// holds nothing but the file's name, so any number of objects in any number
// of processes see one metabase.
#pragma once

#include <windows.h>
#include <iadmw.h>

#include "Com/ComObject.h"
#include "MetabaseFile.h"

namespace metabase {

class CAdminBase : public qcom::CUnknownBase, public IMSAdminBaseW {
 public:
  explicit CAdminBase(IUnknown* outer);

  QCOM_DELEGATING_IUNKNOWN

  STDMETHODIMP AddKey(METADATA_HANDLE handle, LPCWSTR path) override;
  STDMETHODIMP DeleteKey(METADATA_HANDLE handle, LPCWSTR path) override;
  STDMETHODIMP DeleteChildKeys(METADATA_HANDLE handle, LPCWSTR path) override;
  STDMETHODIMP EnumKeys(METADATA_HANDLE handle, LPCWSTR path, LPWSTR name, DWORD index) override;
  STDMETHODIMP CopyKey(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, WINBOOL, WINBOOL) override;
  STDMETHODIMP RenameKey(METADATA_HANDLE, LPCWSTR, LPCWSTR) override;
  STDMETHODIMP SetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record) override;
  STDMETHODIMP GetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record, DWORD* required) override;
  STDMETHODIMP DeleteData(METADATA_HANDLE handle, LPCWSTR path, DWORD id, DWORD dataType) override;
  STDMETHODIMP EnumData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record, DWORD index,
                        DWORD* required) override;
  STDMETHODIMP GetAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, DWORD*, DWORD*, DWORD, unsigned char*,
                          DWORD*) override;
  STDMETHODIMP DeleteAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD) override;
  STDMETHODIMP CopyData(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, WINBOOL) override;
  STDMETHODIMP GetDataPaths(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, WCHAR*, DWORD*) override;
  STDMETHODIMP OpenKey(METADATA_HANDLE handle, LPCWSTR path, DWORD permissions, DWORD timeoutMs,
                       PMETADATA_HANDLE newHandle) override;
  STDMETHODIMP CloseKey(METADATA_HANDLE handle) override;
  STDMETHODIMP ChangePermissions(METADATA_HANDLE, DWORD, DWORD) override;
  STDMETHODIMP SaveData() override;
  STDMETHODIMP GetHandleInfo(METADATA_HANDLE handle, PMETADATA_HANDLE_INFO info) override;
  STDMETHODIMP GetSystemChangeNumber(DWORD*) override;
  STDMETHODIMP GetDataSetNumber(METADATA_HANDLE, LPCWSTR, DWORD*) override;
  STDMETHODIMP SetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME, WINBOOL) override;
  STDMETHODIMP GetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME, WINBOOL) override;
  STDMETHODIMP KeyExchangePhase1() override;
  STDMETHODIMP KeyExchangePhase2() override;
  STDMETHODIMP Backup(LPCWSTR, DWORD, DWORD) override;
  STDMETHODIMP Restore(LPCWSTR, DWORD, DWORD) override;
  STDMETHODIMP EnumBackups(LPWSTR, DWORD*, PFILETIME, DWORD) override;
  STDMETHODIMP DeleteBackup(LPCWSTR, DWORD) override;
  STDMETHODIMP UnmarshalInterface(IMSAdminBaseW** other) override;
  STDMETHODIMP GetServerGuid() override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;

 private:
  CMetabaseFile m_file;
};

}  // namespace metabase
