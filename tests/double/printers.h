// How gtest prints the double's scripts and records in failure messages: as the call log would.
#pragma once

#include <ostream>

#include "double/records.h"
#include "double/scripts.h"

namespace runtime_double {

void PrintTo(const TypedValue& value, std::ostream* out);
void PrintTo(const MediaFormat& format, std::ostream* out);
void PrintTo(const OutputSettingCall& call, std::ostream* out);
void PrintTo(const AttributeCall& call, std::ostream* out);
void PrintTo(const EnumerationSettingCall& call, std::ostream* out);
void PrintTo(const MediaTypeCall& call, std::ostream* out);
void PrintTo(const WrittenSample& sample, std::ostream* out);
void PrintTo(const FinalRelease& release, std::ostream* out);
void PrintTo(const ReleaseCall& release, std::ostream* out);

}  // namespace runtime_double
