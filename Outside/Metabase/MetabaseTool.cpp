// metabase-tool: prepares and inspects the stand-in IIS metabase for tests and
// the demo. It works on the same file as the COM object (QARN_METABASE_FILE,
// else the default; see MetabaseStandIn.h) under the same mutex, but edits
// the tree directly, as an administrator would with the server stopped: it
// neither waits for nor takes key locks, except "hold".
//
//   metabase-tool [--file <path>] <command> ...
//
//   seed [--sites 1,3] [--root <site>=<folder>]... [--user <site>=<name>]...
//        [--password <site>=<password>]...
//       Replaces the whole metabase, handles and counters included, with a
//       fresh IIS: LM/W3SVC (MD_KEY_TYPE IIsWebService) with "Filters"
//       (IIsFilters, MD_FILTER_LOAD_ORDER 2040 = "" with user type 1), "Info",
//       and for every site (default: 1) "<site>" (IIsWebServer) and
//       "<site>/Root" (IIsWebVirtualDir) with MD_VR_PATH 3001 = the folder
//       (default C:\inetpub\wwwroot), user type 2, inherited; --user and
//       --password add MD_VR_USERNAME 3002 and MD_VR_PASSWORD 3003 to Root.
//   set <key> <id> dword|string <value> [--utype <n>] [--attr <n>]
//       Writes one property (user type 1 and attributes 0 unless given;
//       numbers in decimal or 0x hex), creating the key and its parents.
//   get <key> <id>
//       Prints the value as the dump writes it; exit code 1 when absent.
//   add <key>        Creates the key and its parents.
//   delete <key>     Deletes the key and everything below it; 1 when absent.
//   dump             Prints the whole metabase as sorted text, one line per
//                    key and per property (format in MetabaseText.cpp).
//   handles          Prints "opened=<n> closed=<n> open=<n>".
//   hold <key> <ms> [read|write]
//       Opens the key (write unless told) as the COM object would, prints
//       "held <handle>", keeps it open for <ms> milliseconds and closes it.
//       Fails at once if the key is busy.
//
// Key paths are "/"-separated from the master root, e.g. LM/W3SVC/1/Root.
// Exit codes: 0 done, 1 failed or absent, 2 wrong arguments.
#include <windows.h>
#include <fcntl.h>
#include <iiscnfg.h>
#include <mddefw.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "MetabaseFile.h"

namespace {

using metabase::CMetabase;
using metabase::CMetabaseFile;
using metabase::CPath;
using metabase::EStatus;

using CArguments = std::vector<std::wstring>;

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr const wchar_t* kDefaultRoot = L"C:\\inetpub\\wwwroot";

int Usage() {
  std::fputs("usage: metabase-tool [--file <path>] seed|set|get|add|delete|dump|handles|hold ...\n"
             "       (see the top of MetabaseTool.cpp)\n",
             stderr);
  return kUsage;
}

int Report(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return 0;
  std::fprintf(stderr, "metabase-tool: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
  return kFailed;
}

bool ParseNumber(const std::wstring& text, uint32_t* value) {
  wchar_t* end = nullptr;
  *value = static_cast<uint32_t>(wcstoul(text.c_str(), &end, 0));
  return !text.empty() && *end == L'\0';
}

// Options "--name value" after the positional arguments; a repeated option
// keeps every value.
class COptions {
 public:
  bool Parse(const CArguments& args, size_t first) {
    for (size_t i = first; i < args.size(); i += 2) {
      if (args[i].compare(0, 2, L"--") != 0 || i + 1 >= args.size()) return false;
      m_values[args[i].substr(2)].push_back(args[i + 1]);
    }
    return true;
  }
  const std::vector<std::wstring>& All(const std::wstring& name) const {
    static const std::vector<std::wstring> none;
    auto found = m_values.find(name);
    return found == m_values.end() ? none : found->second;
  }
  std::wstring Last(const std::wstring& name, const std::wstring& fallback) const {
    const auto& values = All(name);
    return values.empty() ? fallback : values.back();
  }
  bool OnlyKnown(std::initializer_list<const wchar_t*> names) const {
    for (const auto& entry : m_values) {
      bool known = false;
      for (const wchar_t* name : names) known = known || entry.first == name;
      if (!known) return false;
    }
    return true;
  }

 private:
  std::map<std::wstring, std::vector<std::wstring>> m_values;
};

// "--root 1=C:\x" and the like: site number to text.
bool SiteValues(const std::vector<std::wstring>& values, std::map<std::wstring, std::wstring>* bySite) {
  for (const std::wstring& value : values) {
    size_t equals = value.find(L'=');
    if (equals == std::wstring::npos || equals == 0) return false;
    (*bySite)[value.substr(0, equals)] = value.substr(equals + 1);
  }
  return true;
}

std::vector<std::wstring> SplitList(const std::wstring& list) {
  std::vector<std::wstring> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = std::min(list.find(L',', start), list.size());
    if (comma > start) items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

void SetString(CMetabase& metabase, const CPath& path, DWORD id, DWORD attributes, DWORD userType,
               const std::wstring& value) {
  metabase.EnsureKey(path).properties[id] = metabase::StringProperty(id, attributes, userType, value);
}

CPath Child(CPath path, const std::wstring& name) {
  path.push_back(name);
  return path;
}

int Seed(CMetabaseFile& file, const COptions& options) {
  std::map<std::wstring, std::wstring> roots, users, passwords;
  if (!options.OnlyKnown({L"sites", L"root", L"user", L"password"}) || !SiteValues(options.All(L"root"), &roots) ||
      !SiteValues(options.All(L"user"), &users) || !SiteValues(options.All(L"password"), &passwords)) {
    return Usage();
  }
  CMetabase fresh;
  const CPath service{L"LM", L"W3SVC"};
  SetString(fresh, service, MD_KEY_TYPE, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER, L"IIsWebService");
  SetString(fresh, Child(service, L"Filters"), MD_KEY_TYPE, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER, L"IIsFilters");
  SetString(fresh, Child(service, L"Filters"), MD_FILTER_LOAD_ORDER, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER, L"");
  fresh.EnsureKey(Child(service, L"Info"));
  for (const std::wstring& site : SplitList(options.Last(L"sites", L"1"))) {
    const CPath server = Child(service, site), root = Child(server, L"Root");
    SetString(fresh, server, MD_KEY_TYPE, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER, L"IIsWebServer");
    SetString(fresh, root, MD_KEY_TYPE, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER, L"IIsWebVirtualDir");
    SetString(fresh, root, MD_VR_PATH, METADATA_INHERIT, IIS_MD_UT_FILE,
              roots.count(site) ? roots[site] : kDefaultRoot);
    if (users.count(site)) SetString(fresh, root, MD_VR_USERNAME, METADATA_INHERIT, IIS_MD_UT_FILE, users[site]);
    if (passwords.count(site)) {
      SetString(fresh, root, MD_VR_PASSWORD, METADATA_INHERIT | METADATA_SECURE, IIS_MD_UT_FILE, passwords[site]);
    }
  }
  return Report(file.Replace(fresh), "seed");
}

int Set(CMetabaseFile& file, const CArguments& args) {
  COptions options;
  uint32_t id, userType, attributes;
  if (args.size() < 5 || !options.Parse(args, 5) || !options.OnlyKnown({L"utype", L"attr"}) ||
      !ParseNumber(args[2], &id) || !ParseNumber(options.Last(L"utype", L"1"), &userType) ||
      !ParseNumber(options.Last(L"attr", L"0"), &attributes)) {
    return Usage();
  }
  metabase::CProperty property;
  if (args[3] == L"string") {
    property = metabase::StringProperty(id, attributes, userType, args[4]);
  } else {
    uint32_t value;
    if (args[3] != L"dword" || !ParseNumber(args[4], &value)) return Usage();
    property = metabase::DwordProperty(id, attributes, userType, value);
  }
  const CPath path = metabase::SplitPath(args[1].c_str());
  return Report(file.Run([&](CMetabase& metabase) {
                  metabase.EnsureKey(path).properties[id] = property;
                  return EStatus::Ok;
                }),
                "set");
}

int Get(CMetabaseFile& file, const CArguments& args) {
  uint32_t id;
  if (args.size() != 3 || !ParseNumber(args[2], &id)) return Usage();
  std::string value;
  HRESULT hr = file.Run([&](CMetabase& metabase) {
    const metabase::CKey* key = metabase.FindKey(metabase::SplitPath(args[1].c_str()));
    if (!key) return EStatus::PathNotFound;
    auto property = key->properties.find(id);
    if (property == key->properties.end()) return EStatus::DataNotFound;
    value = metabase::ValueText(property->second);
    return EStatus::Ok;
  });
  if (SUCCEEDED(hr)) std::printf("%s\n", value.c_str());
  return Report(hr, "get");
}

int AddOrDelete(CMetabaseFile& file, const CArguments& args) {
  if (args.size() != 2) return Usage();
  const CPath path = metabase::SplitPath(args[1].c_str());
  const bool add = args[0] == L"add";
  return Report(file.Run([&](CMetabase& metabase) {
                  if (add) metabase.EnsureKey(path);
                  return add || metabase.RemoveKey(path) ? EStatus::Ok : EStatus::PathNotFound;
                }),
                add ? "add" : "delete");
}

int Dump(CMetabaseFile& file) {
  std::string text;
  HRESULT hr = file.Run([&](CMetabase& metabase) {
    text = metabase::DumpTree(metabase.Root());
    return EStatus::Ok;
  });
  if (SUCCEEDED(hr)) std::fputs(text.c_str(), stdout);
  return Report(hr, "dump");
}

int Handles(CMetabaseFile& file) {
  HRESULT hr = file.Run([&](CMetabase& metabase) {
    std::printf("opened=%u closed=%u open=%u\n", metabase.OpenedCount(), metabase.ClosedCount(),
                static_cast<unsigned>(metabase.Handles().size()));
    return EStatus::Ok;
  });
  return Report(hr, "handles");
}

int Hold(CMetabaseFile& file, const CArguments& args) {
  uint32_t milliseconds;
  if (args.size() < 3 || args.size() > 4 || !ParseNumber(args[2], &milliseconds)) return Usage();
  const std::wstring mode = args.size() == 4 ? args[3] : L"write";
  if (mode != L"read" && mode != L"write") return Usage();
  const uint32_t permissions = mode == L"read" ? METADATA_PERMISSION_READ : METADATA_PERMISSION_WRITE;
  uint32_t handle = 0;
  HRESULT hr = file.Run([&](CMetabase& metabase) {
    return metabase.OpenKey(METADATA_MASTER_ROOT_HANDLE, args[1].c_str(), permissions, metabase::CurrentOwner(),
                            &handle);
  });
  if (FAILED(hr)) return Report(hr, "hold");
  std::printf("held %u\n", handle);
  std::fflush(stdout);
  ::Sleep(milliseconds);
  return Report(file.Run([&](CMetabase& metabase) { return metabase.CloseKey(handle); }), "hold");
}

int RunCommand(CMetabaseFile& file, const CArguments& args) {
  const std::wstring& command = args[0];
  if (command == L"seed") {
    COptions options;
    return options.Parse(args, 1) ? Seed(file, options) : Usage();
  }
  if (command == L"set") return Set(file, args);
  if (command == L"get") return Get(file, args);
  if (command == L"add" || command == L"delete") return AddOrDelete(file, args);
  if (command == L"dump" && args.size() == 1) return Dump(file);
  if (command == L"handles" && args.size() == 1) return Handles(file);
  if (command == L"hold") return Hold(file, args);
  return Usage();
}

CArguments CommandLineArguments() {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  CArguments args(argv ? argv + 1 : nullptr, argv ? argv + count : nullptr);
  ::LocalFree(argv);
  return args;
}

}  // namespace

int main() {
  // Dumps end their lines with "\n" alone, so that they compare equal
  // however they are captured.
  _setmode(_fileno(stdout), _O_BINARY);
  CArguments args = CommandLineArguments();
  std::wstring path = metabase::ConfiguredFilePath();
  if (args.size() >= 2 && args[0] == L"--file") {
    path = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) return Usage();
  CMetabaseFile file(path);
  return RunCommand(file, args);
}
