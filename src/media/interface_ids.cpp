// On Windows the interface identifiers are declared by wmsdkidl.h and defined here, once.
#include <initguid.h>

#include <wmsdk.h>
