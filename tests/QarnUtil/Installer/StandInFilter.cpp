// Stands in for the maker's ISAPI filter library "qarnfilter.dll": its
// entry point answers like a filter, with the notifications it wants.
#include <windows.h>
#include <httpfilt.h>

extern "C" __declspec(dllexport) BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
  version->dwFilterVersion = HTTP_FILTER_REVISION;
  version->dwFlags = SF_NOTIFY_ORDER_DEFAULT | SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_AUTHENTICATION;
  lstrcpynA(version->lpszFilterDesc, "Qarn Filter stand-in", SF_MAX_FILTER_DESC_LEN);
  return TRUE;
}
