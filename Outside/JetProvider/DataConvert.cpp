#include "DataConvert.h"

#include <cstring>

namespace jet {

namespace {

// Numbers and dates are converted as the invariant locale writes them.
const LCID kConversionLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

bool IsVariantScalar(DBTYPE type) {
  switch (type) {
    case DBTYPE_I1: case DBTYPE_I2: case DBTYPE_I4: case DBTYPE_I8:
    case DBTYPE_UI1: case DBTYPE_UI2: case DBTYPE_UI4: case DBTYPE_UI8:
    case DBTYPE_R4: case DBTYPE_R8: case DBTYPE_CY: case DBTYPE_DATE: case DBTYPE_BOOL:
      return true;
    default:
      return false;
  }
}

size_t ScalarSize(DBTYPE type) {
  switch (type) {
    case DBTYPE_I1: case DBTYPE_UI1: return 1;
    case DBTYPE_I2: case DBTYPE_UI2: case DBTYPE_BOOL: return 2;
    case DBTYPE_I4: case DBTYPE_UI4: case DBTYPE_R4: return 4;
    default: return 8;
  }
}

// Owns a VARIANT for the time of one conversion.
class CVariant {
 public:
  CVariant() { ::VariantInit(&m_value); }
  ~CVariant() { ::VariantClear(&m_value); }
  CVariant(const CVariant&) = delete;
  CVariant& operator=(const CVariant&) = delete;
  VARIANT* operator&() { return &m_value; }
  VARIANT& Get() { return m_value; }

 private:
  VARIANT m_value;
};

void ToVariant(const CSqlValue& value, VARIANT& out) {
  switch (value.kind) {
    case CSqlValue::Kind::Integer: out.vt = VT_I8; out.llVal = value.integer; break;
    case CSqlValue::Kind::Real: out.vt = VT_R8; out.dblVal = value.real; break;
    case CSqlValue::Kind::Text:
    case CSqlValue::Kind::Blob: {
      std::wstring wide = Utf8ToWide(value.bytes);
      out.vt = VT_BSTR;
      out.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      break;
    }
    default: out.vt = VT_NULL; break;
  }
}

// The text of a value, as JET shows a number or date converted to text.
bool TextOf(const CSqlValue& value, std::wstring& text) {
  if (value.kind == CSqlValue::Kind::Text) {
    text = Utf8ToWide(value.bytes);
    return true;
  }
  CVariant source, converted;
  ToVariant(value, source.Get());
  if (FAILED(::VariantChangeTypeEx(&converted, &source, kConversionLocale, 0, VT_BSTR))) return false;
  text.assign(converted.Get().bstrVal, ::SysStringLen(converted.Get().bstrVal));
  return true;
}

struct COutput {
  BYTE* value;
  DBLENGTH* length;
  DBSTATUS* status;
  DBLENGTH maxLength;
};

COutput OutputOf(const DBBINDING& binding, BYTE* data) {
  COutput out{};
  if (binding.dwPart & DBPART_VALUE) out.value = data + binding.obValue;
  if (binding.dwPart & DBPART_LENGTH) out.length = reinterpret_cast<DBLENGTH*>(data + binding.obLength);
  if (binding.dwPart & DBPART_STATUS) out.status = reinterpret_cast<DBSTATUS*>(data + binding.obStatus);
  out.maxLength = binding.cbMaxLen;
  return out;
}

// Copies bytes, leaving room for a terminator of terminatorSize zero bytes;
// the length part always tells the whole size.
DBSTATUS WriteVariableLength(const void* bytes, size_t size, size_t terminatorSize, const COutput& out) {
  if (out.length) *out.length = size;
  if (!out.value) return DBSTATUS_S_OK;
  if (out.maxLength < terminatorSize) return size ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
  size_t room = out.maxLength - terminatorSize;
  if (terminatorSize > 1) room -= room % terminatorSize;
  const size_t copied = size < room ? size : room;
  memcpy(out.value, bytes, copied);
  memset(out.value + copied, 0, terminatorSize);
  return copied < size ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
}

DBSTATUS WriteAnsi(const CSqlValue& value, const COutput& out) {
  std::wstring text;
  if (!TextOf(value, text)) return DBSTATUS_E_CANTCONVERTVALUE;
  const int wideLength = static_cast<int>(text.size());
  int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) ::WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, &ansi[0], size, nullptr, nullptr);
  return WriteVariableLength(ansi.data(), ansi.size(), 1, out);
}

DBSTATUS WriteWide(const CSqlValue& value, const COutput& out) {
  std::wstring text;
  if (!TextOf(value, text)) return DBSTATUS_E_CANTCONVERTVALUE;
  return WriteVariableLength(text.data(), text.size() * sizeof(wchar_t), sizeof(wchar_t), out);
}

DBSTATUS WriteBytes(const CSqlValue& value, const COutput& out) {
  if (value.kind != CSqlValue::Kind::Blob && value.kind != CSqlValue::Kind::Text) return DBSTATUS_E_CANTCONVERTVALUE;
  return WriteVariableLength(value.bytes.data(), value.bytes.size(), 0, out);
}

DBSTATUS WriteBstr(const CSqlValue& value, const COutput& out) {
  std::wstring text;
  if (!TextOf(value, text)) return DBSTATUS_E_CANTCONVERTVALUE;
  if (out.length) *out.length = sizeof(BSTR);
  if (out.value) {
    BSTR copy = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!copy) return DBSTATUS_E_CANTCREATE;
    memcpy(out.value, &copy, sizeof(copy));
  }
  return DBSTATUS_S_OK;
}

DBSTATUS WriteVariant(const CSqlValue& value, const COutput& out) {
  if (out.length) *out.length = sizeof(VARIANT);
  if (out.value) {
    VARIANT converted;
    ::VariantInit(&converted);
    if (value.kind == CSqlValue::Kind::Integer && value.integer >= INT32_MIN && value.integer <= INT32_MAX) {
      converted.vt = VT_I4;
      converted.lVal = static_cast<LONG>(value.integer);
    } else {
      ToVariant(value, converted);
    }
    memcpy(out.value, &converted, sizeof(converted));
  }
  return DBSTATUS_S_OK;
}

DBSTATUS WriteScalar(const CSqlValue& value, DBTYPE type, const COutput& out) {
  CVariant source, converted;
  ToVariant(value, source.Get());
  if (FAILED(::VariantChangeTypeEx(&converted, &source, kConversionLocale, 0, static_cast<VARTYPE>(type)))) {
    return DBSTATUS_E_CANTCONVERTVALUE;
  }
  const size_t size = ScalarSize(type);
  if (out.length) *out.length = size;
  if (out.value) memcpy(out.value, &converted.Get().llVal, size);
  return DBSTATUS_S_OK;
}

// Dates are stored as JET writes them in text: "yyyy-mm-dd hh:mm:ss".
CSqlValue DateText(double date) {
  SYSTEMTIME time{};
  if (!::VariantTimeToSystemTime(date, &time)) return CSqlValue::FromReal(date);
  char text[32];
  wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
            time.wSecond);
  return CSqlValue::FromText(text);
}

bool IsDateStructure(DBTYPE type) {
  return type == DBTYPE_DBDATE || type == DBTYPE_DBTIME || type == DBTYPE_DBTIMESTAMP;
}

// The structured date types, through SYSTEMTIME and OLE's DATE.
DBSTATUS WriteDateStructure(const CSqlValue& value, DBTYPE type, const COutput& out) {
  CVariant source, date;
  ToVariant(value, source.Get());
  SYSTEMTIME time{};
  if (FAILED(::VariantChangeTypeEx(&date, &source, kConversionLocale, 0, VT_DATE)) ||
      !::VariantTimeToSystemTime(date.Get().date, &time)) {
    return DBSTATUS_E_CANTCONVERTVALUE;
  }
  const DBTIMESTAMP stamp = {static_cast<SHORT>(time.wYear), time.wMonth, time.wDay, time.wHour, time.wMinute,
                             time.wSecond, 0};
  const DBDATE day = {stamp.year, stamp.month, stamp.day};
  const DBTIME clock = {stamp.hour, stamp.minute, stamp.second};
  const void* bytes = type == DBTYPE_DBDATE ? static_cast<const void*>(&day)
                      : type == DBTYPE_DBTIME ? static_cast<const void*>(&clock) : static_cast<const void*>(&stamp);
  const size_t size = type == DBTYPE_DBDATE ? sizeof(day) : type == DBTYPE_DBTIME ? sizeof(clock) : sizeof(stamp);
  if (out.length) *out.length = size;
  if (out.value) memcpy(out.value, bytes, size);
  return DBSTATUS_S_OK;
}

DBSTATUS ReadDateStructure(DBTYPE type, const BYTE* data, CSqlValue& value) {
  SYSTEMTIME time{1899, 12, 0, 30, 0, 0, 0, 0};
  DBTIMESTAMP stamp{};
  if (type == DBTYPE_DBTIMESTAMP) memcpy(&stamp, data, sizeof(stamp));
  if (type == DBTYPE_DBDATE) memcpy(&stamp, data, sizeof(DBDATE));
  if (type == DBTYPE_DBTIME) memcpy(&stamp.hour, data, sizeof(DBTIME));
  if (type != DBTYPE_DBTIME) {
    time.wYear = static_cast<WORD>(stamp.year);
    time.wMonth = stamp.month;
    time.wDay = stamp.day;
  }
  time.wHour = stamp.hour;
  time.wMinute = stamp.minute;
  time.wSecond = stamp.second;
  double date = 0;
  if (!::SystemTimeToVariantTime(&time, &date)) return DBSTATUS_E_CANTCONVERTVALUE;
  value = DateText(date);
  return DBSTATUS_S_OK;
}

DBSTATUS WriteGuid(const CSqlValue& value, const COutput& out) {
  std::wstring text;
  GUID guid;
  if (!TextOf(value, text) || FAILED(::CLSIDFromString(&text[0], &guid))) return DBSTATUS_E_CANTCONVERTVALUE;
  if (out.length) *out.length = sizeof(guid);
  if (out.value) memcpy(out.value, &guid, sizeof(guid));
  return DBSTATUS_S_OK;
}

DBSTATUS ReadGuid(const BYTE* data, CSqlValue& value) {
  GUID guid;
  memcpy(&guid, data, sizeof(guid));
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  value = CSqlValue::FromText(WideToUtf8(std::wstring(text)));
  return DBSTATUS_S_OK;
}

DBSTATUS WriteConverted(const CSqlValue& value, DBTYPE type, const COutput& out) {
  switch (type) {
    case DBTYPE_STR: return WriteAnsi(value, out);
    case DBTYPE_WSTR: return WriteWide(value, out);
    case DBTYPE_BSTR: return WriteBstr(value, out);
    case DBTYPE_BYTES: return WriteBytes(value, out);
    case DBTYPE_VARIANT: return WriteVariant(value, out);
    case DBTYPE_GUID: return WriteGuid(value, out);
    case DBTYPE_DBDATE: case DBTYPE_DBTIME: case DBTYPE_DBTIMESTAMP: return WriteDateStructure(value, type, out);
    default: return IsVariantScalar(type) ? WriteScalar(value, type, out) : static_cast<DBSTATUS>(DBSTATUS_E_CANTCONVERTVALUE);
  }
}

size_t BoundedLength(const BYTE* value, DBLENGTH maxLength, size_t unit) {
  size_t length = 0;
  while (length + unit <= maxLength) {
    bool zero = true;
    for (size_t i = 0; i < unit; ++i) zero = zero && value[length + i] == 0;
    if (zero) break;
    length += unit;
  }
  return length;
}

DBSTATUS ReadVariant(const VARIANT& source, CSqlValue& value) {
  switch (source.vt) {
    case VT_EMPTY: case VT_NULL: value = CSqlValue(); return DBSTATUS_S_OK;
    case VT_BSTR: value = CSqlValue::FromText(WideToUtf8(source.bstrVal, ::SysStringLen(source.bstrVal))); return DBSTATUS_S_OK;
    case VT_DATE: value = DateText(source.date); return DBSTATUS_S_OK;
    case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: {
      CVariant real;
      if (FAILED(::VariantChangeType(&real, const_cast<VARIANT*>(&source), 0, VT_R8))) return DBSTATUS_E_CANTCONVERTVALUE;
      value = CSqlValue::FromReal(real.Get().dblVal);
      return DBSTATUS_S_OK;
    }
    default: {
      CVariant integer;
      if (FAILED(::VariantChangeType(&integer, const_cast<VARIANT*>(&source), 0, VT_I8))) return DBSTATUS_E_CANTCONVERTVALUE;
      value = CSqlValue::FromInteger(integer.Get().llVal);
      return DBSTATUS_S_OK;
    }
  }
}

DBSTATUS ReadScalar(DBTYPE type, const BYTE* data, CSqlValue& value) {
  VARIANT source;
  ::VariantInit(&source);
  source.vt = static_cast<VARTYPE>(type);
  memcpy(&source.llVal, data, ScalarSize(type));
  return ReadVariant(source, value);
}

}  // namespace

bool IsBindableType(DBTYPE type) {
  switch (type) {
    case DBTYPE_STR: case DBTYPE_WSTR: case DBTYPE_BSTR: case DBTYPE_BYTES: case DBTYPE_VARIANT: case DBTYPE_GUID:
      return true;
    default:
      return IsVariantScalar(type) || IsDateStructure(type);
  }
}

DBSTATUS WriteBoundValue(const CSqlValue& value, const DBBINDING& binding, BYTE* data) {
  const COutput out = OutputOf(binding, data);
  DBSTATUS status = DBSTATUS_S_ISNULL;
  if (value.kind == CSqlValue::Kind::Null) {
    if (out.length) *out.length = 0;
    if (binding.wType == DBTYPE_VARIANT && out.value) {
      VARIANT null;
      ::VariantInit(&null);
      null.vt = VT_NULL;
      memcpy(out.value, &null, sizeof(null));
    }
  } else {
    status = WriteConverted(value, binding.wType, out);
  }
  if (out.status) *out.status = status;
  return status;
}

DBSTATUS ReadBoundValue(const DBBINDING& binding, const BYTE* data, CSqlValue& value) {
  const DBSTATUS* status = (binding.dwPart & DBPART_STATUS) ? reinterpret_cast<const DBSTATUS*>(data + binding.obStatus) : nullptr;
  if (status && (*status == DBSTATUS_S_ISNULL || *status == DBSTATUS_S_DEFAULT || *status == DBSTATUS_S_IGNORE)) {
    value = CSqlValue();
    return DBSTATUS_S_OK;
  }
  if (status && *status != DBSTATUS_S_OK) return DBSTATUS_E_BADSTATUS;
  if (!(binding.dwPart & DBPART_VALUE)) return DBSTATUS_E_UNAVAILABLE;
  const BYTE* source = data + binding.obValue;
  const DBLENGTH* length = (binding.dwPart & DBPART_LENGTH) ? reinterpret_cast<const DBLENGTH*>(data + binding.obLength) : nullptr;
  switch (binding.wType) {
    case DBTYPE_STR: {
      const size_t size = length ? *length : BoundedLength(source, binding.cbMaxLen, 1);
      const std::string ansi(reinterpret_cast<const char*>(source), size);
      value = CSqlValue::FromText(WideToUtf8(qcom::AnsiToWide(ansi)));
      return DBSTATUS_S_OK;
    }
    case DBTYPE_WSTR: {
      const size_t size = length ? *length : BoundedLength(source, binding.cbMaxLen, sizeof(wchar_t));
      value = CSqlValue::FromText(WideToUtf8(reinterpret_cast<const wchar_t*>(source), size / sizeof(wchar_t)));
      return DBSTATUS_S_OK;
    }
    case DBTYPE_BSTR: {
      BSTR text = nullptr;
      memcpy(&text, source, sizeof(text));
      value = CSqlValue::FromText(WideToUtf8(text, ::SysStringLen(text)));
      return DBSTATUS_S_OK;
    }
    case DBTYPE_BYTES:
      value = CSqlValue::FromBlob(std::string(reinterpret_cast<const char*>(source), length ? *length : binding.cbMaxLen));
      return DBSTATUS_S_OK;
    case DBTYPE_VARIANT:
      return ReadVariant(*reinterpret_cast<const VARIANT*>(source), value);
    case DBTYPE_GUID:
      return ReadGuid(source, value);
    case DBTYPE_DBDATE: case DBTYPE_DBTIME: case DBTYPE_DBTIMESTAMP:
      return ReadDateStructure(binding.wType, source, value);
    default:
      return IsVariantScalar(binding.wType) ? ReadScalar(binding.wType, source, value) : static_cast<DBSTATUS>(DBSTATUS_E_CANTCONVERTVALUE);
  }
}

}  // namespace jet
