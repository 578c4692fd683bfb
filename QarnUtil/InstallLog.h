// The installation log that the Installer's methods hand back: texts from
// the library's string table, results chosen by a step's HRESULT.
#pragma once

#include <windows.h>

#include <string>

namespace qarnutil {

// A text of the library's string table; empty when the id has none.
std::string InstallerString(UINT id);

// The system's message text for hr (system message table, neutral
// language); false when the system has none.
bool SystemMessage(HRESULT hr, std::string& text);

// The result text of a step that ended with hr.
std::string ResultText(HRESULT hr);

// Appends the line of step stepId (formatted with name when given) whose
// result follows from hr.
void AppendLogLine(std::string& log, UINT stepId, const char* name, HRESULT hr);

// Appends the line of step stepId with the fixed result text resultId
// (formatted with detail when given).
void AppendLogText(std::string& log, UINT stepId, const char* name, UINT resultId, const char* detail = nullptr);

}  // namespace qarnutil
