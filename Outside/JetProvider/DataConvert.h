// Conversions between stored values and a consumer's bound buffers, as an
// OLE DB provider performs them for accessors.
#pragma once

#include "ProviderCommon.h"

namespace jet {

// Whether values of this DBTYPE can be bound at all.
bool IsBindableType(DBTYPE type);

// Writes value into the parts (value, length, status) that binding names in
// the consumer's row buffer; returns the status it reports.
DBSTATUS WriteBoundValue(const CSqlValue& value, const DBBINDING& binding, BYTE* data);

// Reads a parameter value from the consumer's buffer; returns
// DBSTATUS_S_OK or the error status for the binding.
DBSTATUS ReadBoundValue(const DBBINDING& binding, const BYTE* data, CSqlValue& value);

}  // namespace jet
