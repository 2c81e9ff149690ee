// The resources that a module carries, laid out by the build: the resource compiler turns a
// resource script into a directory of binary resources under a well-known symbol, where
// FindResourceA looks for them in the module it is given, as Windows looks in a module's
// resource section. The data of each resource is in Windows' own binary format.
#pragma once

#include "win/types.h"

struct ModuleResource {
  WORD type;  // RT_DIALOG and the like
  WORD id;
  WORD language;
  DWORD size;
  const BYTE* data;
};

struct ModuleResourceDirectory {
  DWORD count;
  const ModuleResource* entries;
};

// The name under which a module exports its ModuleResourceDirectory, with C linkage.
#define MODULE_RESOURCES_SYMBOL "WinPlatformModuleResources"
