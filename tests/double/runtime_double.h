// A scriptable stand-in of the Windows Media Format runtime for tests: while a RuntimeDouble
// lives, WMCreateSyncReader, WMCreateWriter and WMCreateProfileManager answer from it.
//
//   RuntimeDouble runtime;
//   runtime.reader.outputFormats = {PcmFormat(48000, 2, 24)};
//   runtime.reader.samples = {{Bytes24({1, -1})}, {}};
//   runtime.reader.attributes = {StringAttribute(u"Title", u"Song"),
//                                QwordAttribute(u"Duration", 10'000'000)};
//   runtime.codecs = {{u"Alpha", {WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}}};
//   runtime.Fail("HeaderInfo.GetAttributeByIndexEx", E_FAIL, /*nth=*/3);
//   ... run the code under test ...
//   EXPECT_THAT(runtime.calls(), Contains("SyncReader.Open(song.wma)"));
//   EXPECT_THAT(runtime.releasedObjects(), ElementsAre("OutputProps", "SyncReader"));
//   runtime.ExpectAllReleased();
//
// The objects behave like the runtime's where the filter relies on it (the size protocol,
// media types laid out in the caller's block, the end of samples, the bit-rate mode of a
// codec's format lists) and copy whatever they are given, so that they hold no references to
// one another and the final releases come exactly in the order of the caller's releases.
// Misuse fails the test: a call on a released object or on a reader that is not open, a Release
// without a reference, a method that the filter has no business calling, objects still alive
// when the RuntimeDouble goes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "double/failure_plan.h"
#include "double/printers.h"
#include "double/records.h"
#include "double/scripts.h"

namespace runtime_double {

class RuntimeDouble {
 public:
  // Installs this double as the one the factories answer from; one at a time.
  RuntimeDouble();
  // Uninstalls it; fails the test if any of its objects is still referenced (those are left
  // alone, and must not be called any more).
  ~RuntimeDouble();
  RuntimeDouble(const RuntimeDouble&) = delete;
  RuntimeDouble& operator=(const RuntimeDouble&) = delete;

  // ---- Scripts: read when a reader opens, a writer is set up, a profile manager is made ----
  ReaderScript reader;
  WriterScript writer;
  std::vector<Codec> codecs;  // the audio codecs of the profile manager's catalogue

  // ---- Failures ----
  // The nth call by this name from now on (1 = the next) returns `result`, which must be a
  // failure. Names: "Object.Method", a factory's name, or "Object.QueryInterface(Interface)";
  // a name the double does not know fails the test.
  void Fail(std::string_view call, HRESULT result, unsigned nth = 1);
  // Every call by this name from now on returns `result`.
  void FailEvery(std::string_view call, HRESULT result);

  // ---- Logs ----
  const std::vector<std::string>& calls() const { return log_.calls; }
  // The calls whose text starts with `prefix`, e.g. "Writer." or "CodecInfo.GetCodecName".
  std::vector<std::string> callsTo(std::string_view prefix) const;
  const RuntimeLog& log() const { return log_; }
  const std::vector<FinalRelease>& finalReleases() const { return log_.finalReleases; }
  // The objects of finalReleases(), in order: "OutputProps", "SyncReader", ...
  std::vector<std::string> releasedObjects() const;

  // The double's objects that are still referenced.
  std::size_t liveObjects() const { return liveObjects_.size(); }
  // Fails the test, naming each object that is still referenced.
  void ExpectAllReleased() const;

  // ---- For the double's objects and factories ----
  // The installed double; fails the test when there is none.
  static RuntimeDouble* Installed(std::string_view caller);
  // Logs "call(arguments)" and gives the result planned for the call: a failure, or S_OK.
  HRESULT Enter(std::string_view call, std::string_view arguments);
  // Logs "Object.QueryInterface(Interface)" and gives the result planned for it.
  HRESULT EnterQuery(std::string_view object, REFIID iid);
  // Logs a call that the filter should not make and fails the test.
  void Unexpected(std::string_view call);
  RuntimeLog& record() { return log_; }
  // An object came to life: its serial number.
  unsigned NoteCreated(std::string_view object);
  // An object's last reference went. The runtime keeps its memory until it goes itself, so that
  // a stray later call is reported instead of reaching freed memory; `destroy` frees it then.
  void NoteFinalRelease(unsigned serial, void* memory, void (*destroy)(void*));

 private:
  struct LiveObject {
    unsigned serial;
    std::string object;
  };
  struct Remains {
    void* memory;
    void (*destroy)(void*);
  };

  FailurePlan failures_;
  RuntimeLog log_;
  std::vector<LiveObject> liveObjects_;
  std::vector<Remains> remains_;
  unsigned created_ = 0;
};

}  // namespace runtime_double
