// The subset of <windows.h> that this project's code uses, for builds that are not Windows.
#pragma once

#include "win/error.h"
#include "win/guid.h"
#include "win/kernel32.h"
#include "win/ole32.h"
#include "win/types.h"
#include "win/unknwn.h"
#include "win/user32.h"
