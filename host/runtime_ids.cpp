// On Windows the media runtime's interface and media type identifiers that the host asks for
// are declared by wmsdkidl.h and defined here (as selectany, so the filter's own do not clash).
#include <initguid.h>

#include <wmsdk.h>
