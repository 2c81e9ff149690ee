// The user32 calls that the options dialog makes.
#pragma once

#include "win/types.h"
