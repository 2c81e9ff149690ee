// What the runtime double records: the readable call log, the typed logs of the calls whose
// arguments carry data, and the log of final releases. Every call is recorded as it was made,
// whether it then succeeded, failed as planned or was refused.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "double/scripts.h"

namespace runtime_double {

// SyncReader.SetOutputSetting.
struct OutputSettingCall {
  DWORD output = 0;
  std::u16string name;
  TypedValue value;  // exactly `length` bytes; none when the pointer was null
  WORD length = 0;
};

// HeaderInfo.SetAttribute.
struct AttributeCall {
  WORD stream = 0;
  std::u16string name;
  TypedValue value;
  WORD length = 0;
};

// CodecInfo.SetCodecEnumerationSetting.
struct EnumerationSettingCall {
  GUID majorType{};
  DWORD codec = 0;
  std::u16string name;
  TypedValue value;
  DWORD size = 0;
};

// SetMediaType on output properties, input properties or a stream configuration.
struct MediaTypeCall {
  std::string object;  // "OutputProps", "InputProps" or "StreamConfig"
  MediaFormat format;  // the WM_MEDIA_TYPE's fields and cbFormat bytes of its format block
};

// One stream of a profile, as Profile.AddStream copied it.
struct ProfileStream {
  WORD number = 0;
  MediaFormat format;
};

// Writer.SetProfile: the profile's streams at that moment.
struct ProfileCall {
  std::vector<ProfileStream> streams;
};

// Writer.WriteSample, with the sample's bytes up to its length.
struct WrittenSample {
  DWORD input = 0;
  QWORD time = 0;
  DWORD flags = 0;
  std::vector<BYTE> bytes;
};

// The end of an object: its last reference released.
struct FinalRelease {
  std::string object;              // "SyncReader", "OutputProps", "SampleBuffer", ...
  unsigned serial = 0;             // order of creation among the double's objects, from 1
  unsigned apartmentCount = 0;     // the thread's COM initialisations at that moment
  std::size_t liveHeapBlocks = 0;  // the platform heap's live blocks at that moment
  std::size_t callsBefore = 0;     // how many calls had been logged by then
};

// Any Release: which object, and how many references it has left. It tells apart the releases
// of two interfaces of one object (the profile manager and its codec information), which the
// final releases cannot.
struct ReleaseCall {
  std::string object;
  unsigned serial = 0;
  ULONG referencesLeft = 0;
};

struct RuntimeLog {
  std::vector<std::string> calls;  // e.g. "SyncReader.Open(song.wma)", in call order
  std::vector<FinalRelease> finalReleases;
  std::vector<ReleaseCall> releases;
  std::vector<std::u16string> openedFiles;  // SyncReader.Open
  std::vector<OutputSettingCall> outputSettings;
  std::vector<MediaTypeCall> mediaTypesSet;
  std::vector<AttributeCall> attributesSet;
  std::vector<EnumerationSettingCall> enumerationSettings;
  std::vector<ProfileCall> profilesSet;
  std::vector<std::u16string> outputFiles;  // Writer.SetOutputFilename
  std::vector<WrittenSample> samplesWritten;
};

}  // namespace runtime_double
