// The installer's only way into the web server's metabase: a wrapper of the
// IIS Admin Base Object bound to one web-site instance. Each accessor works
// on a handle the caller holds, or opens the key it needs, makes one call
// and closes what it opened.
#pragma once

#include <windows.h>
#include <iadmw.h>
#include <iiscnfg.h>

#include <string>

#include "Com/ComPtr.h"

namespace qarnutil {

// The installer's own metabase property: whether the product line is on
// the site (1) or was taken off (0xFFFFFFFF).
constexpr DWORD kMarkerIdentifier = 66000;
constexpr DWORD kMarkerUserType = 100;
constexpr DWORD kMarkerInstalled = 1;
constexpr DWORD kMarkerRemoved = 0xFFFFFFFF;

// The metabase's "value not present" answer, as an HRESULT.
constexpr HRESULT kMetabaseDataNotFound = static_cast<HRESULT>(MD_ERROR_DATA_NOT_FOUND);

// The no-such-key answer, which callers judge.
constexpr HRESULT kMetabasePathNotFound = static_cast<HRESULT>(0x80070003);

// An open metabase handle; closed through the interface that opened it.
class CMetabaseHandle {
 public:
  explicit CMetabaseHandle(IMSAdminBaseW* adminBase) : m_adminBase(adminBase) {}
  ~CMetabaseHandle() { Close(); }
  CMetabaseHandle(const CMetabaseHandle&) = delete;
  CMetabaseHandle& operator=(const CMetabaseHandle&) = delete;

  METADATA_HANDLE Get() const { return m_handle; }
  METADATA_HANDLE* Put() {
    Close();
    return &m_handle;
  }
  HRESULT Close();

 private:
  qcom::CComPtr<IMSAdminBaseW> m_adminBase;
  METADATA_HANDLE m_handle = 0;
};

class CMDKey {
 public:
  // The metabase object is created from metabaseClass; callers other than
  // tests use the IIS Admin Base Object.
  explicit CMDKey(const CLSID& metabaseClass = CLSID_MSAdminBase_W) : m_metabaseClass(metabaseClass) {}
  virtual ~CMDKey() = default;
  CMDKey(const CMDKey&) = delete;
  CMDKey& operator=(const CMDKey&) = delete;

  // Creates the metabase object and binds the wrapper to instance, or to
  // the site with the lowest number when instance is null.
  HRESULT _Init(const wchar_t* instance);

  // In the accessors, path is relative to the key (null or empty for the
  // key itself); handle 0 makes the accessor open keyPath (null: the site's
  // key) and close it again. GetString hands out a buffer that the caller
  // frees with free.
  HRESULT GetString(const wchar_t* path, DWORD identifier, DWORD userType, wchar_t** value,
                    METADATA_HANDLE handle = 0, const wchar_t* keyPath = nullptr);
  HRESULT SetString(const wchar_t* path, DWORD identifier, const wchar_t* value, DWORD userType, BOOL inherit,
                    METADATA_HANDLE handle = 0, const wchar_t* keyPath = nullptr);
  HRESULT GetDWORD(const wchar_t* path, DWORD identifier, DWORD userType, DWORD* value, METADATA_HANDLE handle = 0,
                   const wchar_t* keyPath = nullptr);
  HRESULT SetDWORD(const wchar_t* path, DWORD identifier, DWORD value, DWORD userType, BOOL inherit,
                   METADATA_HANDLE handle = 0, const wchar_t* keyPath = nullptr);
  HRESULT AddKey(const wchar_t* path, METADATA_HANDLE handle = 0, const wchar_t* keyPath = nullptr);
  HRESULT DeleteKey(const wchar_t* path, METADATA_HANDLE handle = 0, const wchar_t* keyPath = nullptr);

  // Opens path (null: the site's key) below parent with the key-opening
  // time-out; the caller closes the handle with CloseKey.
  HRESULT OpenKey(METADATA_HANDLE parent, const wchar_t* path, DWORD permissions, METADATA_HANDLE* handle);
  HRESULT CloseKey(METADATA_HANDLE handle);
  // The name of the index-th subkey of path below handle; name holds
  // METADATA_MAX_NAME_LEN characters.
  HRESULT EnumKeys(METADATA_HANDLE handle, const wchar_t* path, wchar_t* name, DWORD index);

  IMSAdminBaseW* AdminBase() const { return m_piAdminBase.Get(); }

  std::wstring m_strInstance;
  std::wstring m_strRootPath;

 private:
  // Runs call on handle, or on keyPath opened with permission for the call.
  template <class Call>
  HRESULT OnKey(METADATA_HANDLE handle, const wchar_t* keyPath, DWORD permission, Call call);
  // The lowest positive site number below LM/W3SVC, or the "no site"
  // sentinel, which makes every later key opening fail.
  std::wstring LowestSiteNumber();

  CLSID m_metabaseClass;
  qcom::CComPtr<IMSAdminBaseW> m_piAdminBase;
};

}  // namespace qarnutil
