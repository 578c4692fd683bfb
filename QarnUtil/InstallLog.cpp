#include "InstallLog.h"

#include "Com/ComObject.h"
#include "InstallLogText.h"

namespace qarnutil {

std::string InstallerString(UINT id) {
  char text[qinstall::kLogTextSize] = {};
  const int length = ::LoadStringA(qcom::ModuleInstance(), id, text, sizeof(text));
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

bool SystemMessage(HRESULT hr, std::string& text) {
  char message[qinstall::kLogTextSize] = {};
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(hr),
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), message, sizeof(message), nullptr);
  text.assign(message, length);
  return length > 0;
}

std::string ResultText(HRESULT hr) {
  std::string message;
  const bool hasMessage = hr != S_OK && hr != S_FALSE && SystemMessage(hr, message);
  const UINT id = qinstall::ResultTextIdFor(hr, hasMessage);
  return qinstall::ComposeLogText(InstallerString(id), hasMessage ? message.c_str() : nullptr);
}

void AppendLogLine(std::string& log, UINT stepId, const char* name, HRESULT hr) {
  log += qinstall::ComposeLogLine(qinstall::ComposeLogText(InstallerString(stepId), name), ResultText(hr));
}

void AppendLogText(std::string& log, UINT stepId, const char* name, UINT resultId, const char* detail) {
  log += qinstall::ComposeLogLine(qinstall::ComposeLogText(InstallerString(stepId), name),
                                  qinstall::ComposeLogText(InstallerString(resultId), detail));
}

}  // namespace qarnutil
