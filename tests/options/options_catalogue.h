// A codec catalogue for the options dialog's tests, whose sorted text order differs from the
// runtime's index order:
//   codec 0 "Windows Media Audio 9.2"  constant and variable bit-rate formats; among the
//                                      constant ones the default (format 1), a 5.1 channel
//                                      format (3) and an "(A/V)" format (4)
//   codec 1 "Alpha Voice"              constant bit rate only
//   codec 2 "Multichannel Pro"         every format more than stereo or "(A/V)"
//   codec 3 "Beta Lossless"            variable bit rate only
#pragma once

#include <vector>

#include "double/scripts.h"

std::vector<runtime_double::Codec> OptionsCatalogue();
