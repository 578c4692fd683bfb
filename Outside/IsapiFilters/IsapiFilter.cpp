// Stand-ins for the maker's ISAPI filter libraries, which lie outside the
// system: the installer only loads them, calls GetFilterVersion and reads
// back the flags. One source builds every variant:
//   QARN_FILTER_FLAGS    the flags the filter reports (default: none)
//   QARN_FILTER_REFUSES  GetFilterVersion answers FALSE with a last error
//   QARN_FILTER_NO_ENTRY the library has no GetFilterVersion at all
#include <windows.h>
#include <httpfilt.h>

#ifndef QARN_FILTER_FLAGS
#define QARN_FILTER_FLAGS 0
#endif

#ifndef QARN_FILTER_NO_ENTRY
extern "C" BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
#ifdef QARN_FILTER_REFUSES
  (void)version;
  ::SetLastError(ERROR_INVALID_FUNCTION);
  return FALSE;
#else
  version->dwFilterVersion = HTTP_FILTER_REVISION;
  lstrcpynA(version->lpszFilterDesc, "Qarn stand-in filter", SF_MAX_FILTER_DESC_LEN);
  version->dwFlags = QARN_FILTER_FLAGS;
  return TRUE;
#endif
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
