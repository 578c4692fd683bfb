#include "LogForms.h"

#include <sstream>

namespace qlog {

std::string FormatValueRecord(const char* title, const char* name, std::uint32_t bits, bool isSigned) {
  std::ostringstream text;
  text << '[' << (title ? title : "") << "] " << (name ? name : "") << " = 0x" << std::hex << bits
       << " | " << std::dec;
  if (isSigned) {
    text << static_cast<std::int32_t>(bits);
  } else {
    text << bits;
  }
  return text.str();
}

std::string FormatStringRecord(const char* title, const char* name, const char* text) {
  std::string record;
  record.append("[").append(title ? title : "").append("] ").append(name ? name : "").append(" = \"");
  record.append(text ? text : "0").append("\"");
  return record;
}

std::string TraceContextEntry(const char* functionName) {
  return std::string(" / ") + (functionName ? functionName : "");
}

}  // namespace qlog
