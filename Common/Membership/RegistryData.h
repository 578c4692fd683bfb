// The per-site configuration of the product in the registry:
// HKLM "SOFTWARE\QARN Vesmoro\Config\<instance>", with the access-file name
// falling back to the default value of the "Config" key.
#pragma once

#include <windows.h>

#include <string>

class CRegistryData {
 public:
  CRegistryData() = default;
  virtual ~CRegistryData() = default;

  // Reads the instance's values; missing or mistyped values keep their
  // defaults. Always answers 1.
  int Load(const char* lpszInstance);

  // Each answers its default until Load has run.
  std::string GetConfigFileName() const;
  std::string GetAccessProtectedFilesAs() const;
  int GetAccessFreeFilesAsAnonymous() const;
  DWORD GetDiskQuota() const;
  int GetDenyPhysicalPath() const;

 private:
  void ReadInstanceKey();
  void ReadDefaultConfigFileName();

  int m_bLoaded = 0;
  std::string m_strInstance;
  std::string m_strConfigFileName;
  std::string m_strSingleConfigFile;  // read and kept; nothing here consults it
  DWORD m_ulDiskQuota = 0;
  int m_bDenyPhysicalPath = 0;
  std::string m_strAccessProtectedFilesAs;
  int m_bAccessFreeFilesAsAnonymous = 1;
};
