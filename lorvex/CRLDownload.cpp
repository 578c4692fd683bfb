// The download side of CCRLUpdate: distribution-point URLs, the download into
// the internet cache, and reading the cached file into a CRL context.
#include <urlmon.h>

#include <ctime>
#include <new>

#include "Base64.h"
#include "Base64Decoder.h"
#include "CRLUpdate.h"
#include "Trace.h"

namespace lorvex {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DWORD kCacheFileSize = 1024;
constexpr DWORD kRetryWaitMilliseconds = 50;
constexpr std::clock_t kDeleteDeadlineSeconds = 60;

// The URL of a distribution point: the first entry of its full name, when
// that is a URL at all (a point named by a directory name has none).
bool UrlOfDistPoint(const CRL_DIST_POINT& point, std::string& url) {
  const CRL_DIST_POINT_NAME& name = point.DistPointName;
  if (name.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME || name.FullName.cAltEntry == 0) return false;
  const CERT_ALT_NAME_ENTRY& entry = name.FullName.rgAltEntry[0];
  if (entry.dwAltNameChoice != CERT_ALT_NAME_URL) return false;
  url = qcom::BstrToAnsi(entry.pwszURL);
  return true;
}

}  // namespace

bool CCRLUpdate::GetURLsFromCertificate(CUrlList& urls) {
  urls.reset();
  const CERT_INFO* info = m_pCertificate.Get()->pCertInfo;
  const CERT_EXTENSION* extension = ::CertFindExtension(szOID_CRL_DIST_POINTS, info->cExtension, info->rgExtension);
  if (!extension) {
    TraceMessage("CRLUPDATE! GetURLsFromCertificate : no CDP found");
    return true;
  }
  TraceMessage("CRLUPDATE! GetURLsFromCertificate : found some CDP in cert...");
  DWORD size = 0;
  if (!::CryptDecodeObject(kEncoding, X509_CRL_DIST_POINTS, extension->Value.pbData, extension->Value.cbData,
                           CRYPT_DECODE_NOCOPY_FLAG, nullptr, &size)) {
    TraceMessage("CRLUPDATE! GetURLsFromCertificate : CDP decode pass 1 failed");
    return false;
  }
  if (!AllocateBuffer(m_scratch, size) ||
      !::CryptDecodeObject(kEncoding, X509_CRL_DIST_POINTS, extension->Value.pbData, extension->Value.cbData,
                           CRYPT_DECODE_NOCOPY_FLAG, m_scratch.data(), &size)) {
    TraceMessage("CRLUPDATE! GetURLsFromCertificate : CDP decode pass 2 failed");
    return false;
  }
  const auto* points = reinterpret_cast<const CRL_DIST_POINTS_INFO*>(m_scratch.data());
  urls.emplace();
  for (DWORD i = 0; i < points->cDistPoint; ++i) {
    std::string url;
    if (!UrlOfDistPoint(points->rgDistPoint[i], url)) continue;
    TraceMessage("CRLUPDATE! GetURLsFromCertificate : CDP N %d - %s", static_cast<int>(i), url.c_str());
    urls->push_back(std::move(url));
  }
  ReleaseScratch();
  return true;
}

bool DownloadCRL(const std::vector<std::string>& urls, char (&cacheFile)[1024]) {
  // A list without a single URL fails like a list where every URL failed.
  HRESULT hr = CRYPT_E_NOT_FOUND;
  for (const std::string& url : urls) {
    hr = ::URLDownloadToCacheFileA(nullptr, url.c_str(), cacheFile, kCacheFileSize, 0, nullptr);
    TraceMessage("CRLUPDATE! UpdateCRL: trying to download CRL from %s to %s...", url.c_str(), cacheFile);
    if (SUCCEEDED(hr)) {
      TraceMessage("CRLUPDATE! UpdateCRL: download succeded");
      return true;
    }
    TraceMessage("CRLUPDATE! UpdateCRL: download from %s failed", url.c_str());
  }
  TraceMessage("CRLUPDATE! UpdateCRL: download from all urls failed");
  ::SetLastError(static_cast<DWORD>(hr));
  return false;
}

bool CCRLUpdate::ReadCRLFromFile(const char* path) {
  qwin::CFileHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    TraceMessage("CRLUPDATE! ReadCRLFromFile : CRL file %s not found", path);
    return false;
  }
  if (!ReadWholeFile(file.Get())) return false;
  file.Reset();
  TraceMessage("CRLUPDATE! ReadCRLFromFile : checking for possible base64 encoding");
  if (CheckForBase64() && !ConvertToDER()) return false;
  m_pNewCRL.Reset(::CertCreateCRLContext(kEncoding, m_scratch.data(), static_cast<DWORD>(m_scratch.size())));
  ReleaseScratch();
  if (!m_pNewCRL) {
    TraceMessage("CRLUPDATE! ReadCRLFromFile : failed to create CRL context");
    return false;
  }
  TraceMessage("CRLUPDATE! ReadCRLFromFile : CRL context created");
  return true;
}

bool CCRLUpdate::ReadWholeFile(HANDLE file) {
  DWORD sizeHigh = 0;
  const DWORD size = ::GetFileSize(file, &sizeHigh);
  DWORD bytesRead = 0;
  bool fileError = size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR;
  if (!fileError && sizeHigh != 0) {
    ::SetLastError(ERROR_FILE_TOO_LARGE);
    fileError = true;
  }
  if (!fileError) {
    fileError = !AllocateBuffer(m_scratch, size) || !::ReadFile(file, m_scratch.data(), size, &bytesRead, nullptr);
  }
  if (fileError) {
    TraceMessage("CRLUPDATE! ReadCRLFromFile : some error during file read occured");
    TraceMessage("CRLUPDATE! ReadCRLFromFile : error code - %ld", static_cast<long>(::GetLastError()));
    ReleaseScratch();
    return false;
  }
  if (bytesRead < size) {
    TraceMessage("CRLUPDATE! ReadCRLFromFile : failed to read CRL file");
    ReleaseScratch();
    return false;
  }
  return true;
}

bool CCRLUpdate::CheckForBase64() {
  if (!LooksLikeBase64Text(m_scratch.data(), static_cast<uint32_t>(m_scratch.size()))) {
    TraceMessage("CRLUPDATE! CheckForBase64() : CRL isn't in base64 encoding");
    return false;
  }
  TraceMessage("CRLUPDATE! CheckForBase64 : CRL is in base64 encoding");
  return true;
}

bool CCRLUpdate::ConvertToDER() {
  TraceMessage("CRLUPDATE! ConvertToDER : converting from base64 to DER");
  // An empty file is a text of no characters, not a missing text.
  static const char kNoText[] = "";
  const char* text = m_scratch.empty() ? kNoText : reinterpret_cast<const char*>(m_scratch.data());
  const DWORD count = static_cast<DWORD>(m_scratch.size());
  DWORD length = 0;
  if (!base64_decode(text, count, nullptr, &length)) return false;
  TraceMessage("CRLUPDATE! ConvertToDER : first base64_decode passed");
  std::vector<BYTE> der;
  if (!DecodeBase64Into(text, count, length, der)) return false;
  TraceMessage("CRLUPDATE! ConvertToDER : second base64_decode passed");
  m_scratch.swap(der);
  TraceMessage("CRLUPDATE! ConvertToDER : CRL converted to der");
  return true;
}

void DeleteFileFromCache(const char* path) {
  const std::clock_t deadline = std::clock() + kDeleteDeadlineSeconds * CLOCKS_PER_SEC;
  for (;;) {
    if (path[0] == '\\' || ::DeleteFileA(path)) {
      TraceMessage("CRLUPDATE! DeleteFileFromCache : cache file removed");
      return;
    }
    // The cache may still hold the file for a moment; wait without spinning.
    ::Sleep(kRetryWaitMilliseconds);
    if (std::clock() > deadline) {
      TraceMessage("CRLUPDATE! DeleteFileFromCache : failed to remove cache file - exiting");
      return;
    }
    TraceMessage("CRLUPDATE! DeleteFileFromCache : failed to remove cache file - trying once more");
  }
}

}  // namespace lorvex
