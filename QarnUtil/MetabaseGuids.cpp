// The metabase's class and interface identifiers, which iadmw.h declares
// with DEFINE_GUID and no import library defines.
#include <initguid.h>

#include <iadmw.h>
