// The schema rowsets the provider serves (DBSCHEMA_COLUMNS), built from
// SQLite's own catalogue.
#pragma once

#include "Rowset.h"

namespace jet {

// The TABLE_NAME and COLUMN_NAME restrictions (third and fourth) narrow the
// rows; catalogue and schema restrictions never match anything JET has.
HRESULT BuildColumnsSchema(const CSqliteDatabase& database, ULONG restrictionCount, const VARIANT restrictions[],
                           CRowsetData& data);

}  // namespace jet
