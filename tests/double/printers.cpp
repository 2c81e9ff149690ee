#include "double/printers.h"

#include "double/describe.h"

namespace runtime_double {

namespace {
std::string Text(const TypedValue& value) {
  return TypeName(value.type) + " " + ValueText(value.type, value.bytes.data(), value.bytes.size());
}
}  // namespace

void PrintTo(const TypedValue& value, std::ostream* out) { *out << Text(value); }

void PrintTo(const MediaFormat& format, std::ostream* out) { *out << FormatText(format); }

void PrintTo(const OutputSettingCall& call, std::ostream* out) {
  *out << "(" << call.output << ", " << Utf8(call.name) << ", " << Text(call.value) << ", "
       << call.length << ")";
}

void PrintTo(const AttributeCall& call, std::ostream* out) {
  *out << "(" << call.stream << ", " << Utf8(call.name) << ", " << Text(call.value) << ", "
       << call.length << ")";
}

void PrintTo(const EnumerationSettingCall& call, std::ostream* out) {
  *out << "(" << MajorTypeName(call.majorType) << ", " << call.codec << ", " << Utf8(call.name)
       << ", " << Text(call.value) << ", " << call.size << ")";
}

void PrintTo(const MediaTypeCall& call, std::ostream* out) {
  *out << call.object << " " << FormatText(call.format);
}

void PrintTo(const WrittenSample& sample, std::ostream* out) {
  *out << "(input " << sample.input << ", time " << sample.time << ", flags " << sample.flags
       << ", " << ValueText(WMT_TYPE_BINARY, sample.bytes.data(), sample.bytes.size()) << ")";
}

void PrintTo(const FinalRelease& release, std::ostream* out) {
  *out << release.object << " #" << release.serial << " (apartment " << release.apartmentCount
       << ", heap blocks " << release.liveHeapBlocks << ", after call " << release.callsBefore
       << ")";
}

void PrintTo(const ReleaseCall& release, std::ostream* out) {
  *out << release.object << " #" << release.serial << " left " << release.referencesLeft;
}

}  // namespace runtime_double
