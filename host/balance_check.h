// Native builds only: a check, made when the environment asks for it with
// WMAFILTER_CHECK_BALANCE=1, that a run of filterhost left nothing behind in the platform
// stand-ins: no COM initialisation on the main thread, no live runtime object, no heap or
// global memory block. Tests of the whole program use it to see what the filter leaks.
#pragma once

// Returns exitCode when the check was not asked for or nothing is left. Otherwise names what is
// left in one line on stderr and returns kUnbalancedExit.
int CheckBalanceAtExit(int exitCode);

inline constexpr int kUnbalancedExit = 3;
