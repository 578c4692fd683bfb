// Interface of the suite's crypto client library QarnCryptoClient, as the
// agent links it: the narrow string and profile holder types its functions
// take, the silent levels, and the nine exported functions.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <map>
#include <string>

#include "Com/ComPtr.h"

#ifdef QARNCRYPTOCLIENT_EXPORTS
#define QARNCRYPTOCLIENT_API __declspec(dllexport)
#else
#define QARNCRYPTOCLIENT_API __declspec(dllimport)
#endif

// A narrow string in the ANSI code page, with the members the library and
// its callers use.
template <class T>
class CStringT {
 public:
  CStringT() = default;
  explicit CStringT(const T* text) { *this = text; }

  CStringT& operator=(const T* text) {
    m_str = text ? text : std::basic_string<T>();
    return *this;
  }
  const T* GetString() const { return m_str.c_str(); }

 private:
  std::basic_string<T> m_str;
};

using CStringA = CStringT<char>;

// A profile of the user: certificates, providers, algorithms and recipients
// that an operation works with. The library hands it out; callers only hold it.
struct IProfile : public IUnknown {};
// {E68CCDAE-8769-4344-9ED3-F13A0E1A84C5}
inline constexpr IID IID_IProfile = {0xe68ccdae, 0x8769, 0x4344, {0x9e, 0xd3, 0xf1, 0x3a, 0x0e, 0x1a, 0x84, 0xc5}};

// Holds an interface of type T; assigning any interface asks it for *Piid.
template <class T, const IID* Piid>
class CComQIPtr : public qcom::CComPtr<T> {
 public:
  CComQIPtr() = default;
  CComQIPtr& operator=(IUnknown* other) {
    this->Reset();
    if (other) other->QueryInterface(*Piid, this->PutVoid());
    return *this;
  }
};

using CProfilePtr = CComQIPtr<IProfile, &IID_IProfile>;

// How much the library may ask the user. The agent passes SILENT_LEVEL_SILENT
// in silent mode and SILENT_LEVEL_INTERACTIVE in interactive mode.
enum SILENT_LEVEL {
  SILENT_LEVEL_SILENT = 3,
  SILENT_LEVEL_INTERACTIVE = 4,
};

// Each function returns 0 on success and any other value on failure.
QARNCRYPTOCLIENT_API long CreateNewSignature(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level,
                                             CProfilePtr& profile);
QARNCRYPTOCLIENT_API long AddSignature(const CStringA& strInput, SILENT_LEVEL level, CProfilePtr& profile);
QARNCRYPTOCLIENT_API long EncipherFile(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level,
                                       CProfilePtr& profile);
QARNCRYPTOCLIENT_API long SignAndEncipherFile(const CStringA& strInput, CStringA& strSigned,
                                              CStringA& strEnciphered, SILENT_LEVEL level, CProfilePtr& profile);
QARNCRYPTOCLIENT_API long VerifySignature(const CStringA& strInput);
QARNCRYPTOCLIENT_API long DropAndVerifySignature(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level);
QARNCRYPTOCLIENT_API long DecipherAndVerifySignature(const CStringA& strInput, CStringA& strDeciphered,
                                                     CStringA& strData, SILENT_LEVEL level);
QARNCRYPTOCLIENT_API long DecipherFile(const CStringA& strInput, CStringA& strOutput, SILENT_LEVEL level,
                                       CProfilePtr& profile);
QARNCRYPTOCLIENT_API void ShowStatusReport(const std::map<std::string, bool>& statusMap, SILENT_LEVEL level);
