// The metabase as text. The file is a header line, the counters, one line per
// open handle, and then the dump: one line per key and per property in the
// order of the tree (names without regard to case, identifiers by number),
// so that two dumps of equal metabases are equal text. Everything is ASCII:
// names and strings are quoted, with "\\", "\"" and "\uXXXX" escapes.
//
//   QarnMetabase 1
//   counters <next handle> <opened> <closed>
//   handle <id> <permissions> <process id> <process start> "<key path>"
//   key "<key path>"
//   prop "<key path>" <id> attr=<attributes> utype=<user type> <TYPE> <value>
//
// Values: DWORD in decimal, STRING and EXPANDSZ quoted without their zero,
// BINARY and MULTISZ as "hex:" and their bytes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "MetabaseTree.h"

namespace metabase {

namespace {

constexpr const char* kHeader = "QarnMetabase 1";

const char* const kTypeNames[] = {"", "DWORD", "STRING", "BINARY", "EXPANDSZ", "MULTISZ"};

std::string Quote(const std::wstring& text) {
  std::string quoted = "\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      quoted += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c) & 0xFFFFu);
      quoted += escape;
    }
  }
  return quoted + "\"";
}

std::wstring StoredText(const std::vector<uint8_t>& data) {
  std::wstring text(data.size() / 2, L'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    uint16_t unit;
    std::memcpy(&unit, &data[2 * i], 2);
    text[i] = static_cast<wchar_t>(unit);
  }
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace

std::string ValueText(const CProperty& property) {
  switch (property.dataType) {
    case kDwordData: {
      uint32_t value = 0;
      std::memcpy(&value, property.data.data(), std::min<size_t>(4, property.data.size()));
      return std::to_string(value);
    }
    case kStringData:
    case kExpandStringData:
      return Quote(StoredText(property.data));
    default: {
      std::string hex = "hex:";
      char digits[3];
      for (uint8_t byte : property.data) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        hex += digits;
      }
      return hex;
    }
  }
}

namespace {

void DumpKey(const CKey& key, const std::wstring& path, std::ostringstream& out) {
  const std::string quotedPath = Quote(path);
  if (!path.empty()) out << "key " << quotedPath << "\n";
  for (const auto& [id, property] : key.properties) {
    out << "prop " << quotedPath << " " << id << " attr=" << property.attributes << " utype="
        << property.userType << " " << kTypeNames[property.dataType] << " " << ValueText(property) << "\n";
  }
  for (const auto& [name, child] : key.children) {
    DumpKey(child, path.empty() ? name : path + L"/" + name, out);
  }
}

// Reads the words of one line, quoted or bare.
class CLineReader {
 public:
  explicit CLineReader(const std::string& line) : m_line(line) {}

  bool Word(std::string* word) {
    SkipSpaces();
    size_t end = m_line.find(' ', m_pos);
    if (end == std::string::npos) end = m_line.size();
    *word = m_line.substr(m_pos, end - m_pos);
    m_pos = end;
    return !word->empty();
  }

  template <class T>
  bool Number(T* value, const char* prefix = "") {
    std::string word;
    if (!Word(&word) || word.compare(0, std::strlen(prefix), prefix) != 0) return false;
    const std::string digits = word.substr(std::strlen(prefix));
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = static_cast<T>(std::stoull(digits));
    return true;
  }

  bool Quoted(std::wstring* text) {
    SkipSpaces();
    if (m_pos >= m_line.size() || m_line[m_pos] != '"') return false;
    text->clear();
    for (++m_pos; m_pos < m_line.size(); ++m_pos) {
      char c = m_line[m_pos];
      if (c == '"') {
        ++m_pos;
        return true;
      }
      if (c != '\\') {
        *text += static_cast<wchar_t>(c);
      } else if (!Escape(text)) {
        return false;
      }
    }
    return false;
  }

  bool AtEnd() {
    SkipSpaces();
    return m_pos == m_line.size();
  }

 private:
  bool Escape(std::wstring* text) {
    if (++m_pos >= m_line.size()) return false;
    if (m_line[m_pos] != 'u') {
      *text += static_cast<wchar_t>(m_line[m_pos]);
      return true;
    }
    if (m_pos + 4 >= m_line.size()) return false;
    unsigned unit = 0;
    if (std::sscanf(m_line.substr(m_pos + 1, 4).c_str(), "%4x", &unit) != 1) return false;
    *text += static_cast<wchar_t>(unit);
    m_pos += 4;
    return true;
  }

  void SkipSpaces() {
    while (m_pos < m_line.size() && m_line[m_pos] == ' ') ++m_pos;
  }

  const std::string& m_line;
  size_t m_pos = 0;
};

bool ParseHex(const std::string& word, std::vector<uint8_t>* bytes) {
  if (word.compare(0, 4, "hex:") != 0 || word.size() % 2 != 0) return false;
  for (size_t i = 4; i < word.size(); i += 2) {
    unsigned byte;
    if (std::sscanf(word.substr(i, 2).c_str(), "%2x", &byte) != 1) return false;
    bytes->push_back(static_cast<uint8_t>(byte));
  }
  return true;
}

bool ParseValue(CLineReader& reader, CProperty* property) {
  std::string type;
  if (!reader.Word(&type)) return false;
  for (uint32_t t = kDwordData; t <= kMultiStringData; ++t) {
    if (type == kTypeNames[t]) property->dataType = t;
  }
  if (property->dataType == kDwordData) {
    uint32_t value;
    if (!reader.Number(&value)) return false;
    property->data = DwordProperty(0, 0, 0, value).data;
    return true;
  }
  if (property->dataType == kStringData || property->dataType == kExpandStringData) {
    std::wstring text;
    if (!reader.Quoted(&text)) return false;
    property->data = StringProperty(0, 0, 0, text).data;
    return true;
  }
  std::string hex;
  return property->dataType != 0 && reader.Word(&hex) && ParseHex(hex, &property->data);
}

}  // namespace

std::string DumpTree(const CKey& root) {
  std::ostringstream out;
  DumpKey(root, L"", out);
  return out.str();
}

std::string CMetabase::Serialize() const {
  std::ostringstream out;
  out << kHeader << "\n";
  out << "counters " << m_nextHandle << " " << m_opened << " " << m_closed << "\n";
  for (const auto& [id, open] : m_handles) {
    out << "handle " << id << " " << open.permissions << " " << open.owner.processId << " "
        << open.owner.startTime << " " << Quote(JoinPath(open.path)) << "\n";
  }
  return out.str() + DumpTree(m_root);
}

bool CMetabase::Parse(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return false;
  CMetabase parsed;
  while (std::getline(in, line)) {
    CLineReader reader(line);
    std::string kind;
    std::wstring path;
    bool ok = reader.Word(&kind);
    if (kind == "counters") {
      ok = ok && reader.Number(&parsed.m_nextHandle) && reader.Number(&parsed.m_opened) &&
           reader.Number(&parsed.m_closed);
    } else if (kind == "handle") {
      uint32_t id = 0;
      COpenHandle open;
      ok = ok && reader.Number(&id) && reader.Number(&open.permissions) && reader.Number(&open.owner.processId) &&
           reader.Number(&open.owner.startTime) && reader.Quoted(&path);
      open.path = SplitPath(path.c_str());
      parsed.m_handles[id] = open;
    } else if (kind == "key") {
      ok = ok && reader.Quoted(&path);
      parsed.EnsureKey(SplitPath(path.c_str()));
    } else if (kind == "prop") {
      CProperty property;
      ok = ok && reader.Quoted(&path) && reader.Number(&property.id) &&
           reader.Number(&property.attributes, "attr=") && reader.Number(&property.userType, "utype=") &&
           ParseValue(reader, &property);
      if (ok) parsed.EnsureKey(SplitPath(path.c_str())).properties[property.id] = std::move(property);
    } else {
      ok = false;
    }
    if (!ok || !reader.AtEnd()) return false;
  }
  parsed.m_dirty = false;
  *this = std::move(parsed);
  return true;
}

}  // namespace metabase
