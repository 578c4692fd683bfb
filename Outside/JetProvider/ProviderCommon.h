// What every object of the stand-in JET provider shares: the OLE DB headers,
// the class identifiers, the database state of a data source, text
// conversions and error reporting.
#pragma once

#include <windows.h>
#include <oledb.h>
#include <oledberr.h>
#include <transact.h>

#include <memory>
#include <string>

#include "Com/ComObject.h"
#include "SqliteStore.h"

namespace jet {

// {6E2C1F40-8A51-4C7B-9E0D-3B5A7C2D9F14}: the stand-in's data source class.
extern const CLSID CLSID_JetStandIn;
// ADOX Catalog and the ADO 2.x interfaces the membership setup asks for.
extern const CLSID CLSID_AdoxCatalog;

// The open database of an initialised data source, shared by its sessions,
// commands and rowsets, which keep it alive.
struct CDatabaseState {
  CSqliteDatabase database;
  bool inTransaction = false;
  ISOLEVEL isolationLevel = ISOLATIONLEVEL_READCOMMITTED;
};
using CDatabasePtr = std::shared_ptr<CDatabaseState>;

std::string WideToUtf8(const wchar_t* text, size_t length);
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// A copy of text in task memory, for out-parameters the caller frees.
wchar_t* TaskStringCopy(const std::wstring& text);

// ISupportErrorInfo of the objects whose failures leave a description:
// every interface of theirs does.
class CSupportErrorInfoImpl : public ISupportErrorInfo {
 public:
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
};

// Leaves description in IErrorInfo for the caller and returns hr.
HRESULT ReportFailure(HRESULT hr, const std::wstring& description);
// The HRESULT JET gives for an SQLite failure, with its message as the
// error description.
HRESULT ReportSqlFailure(const CSqlError& error, HRESULT generic);

}  // namespace jet
