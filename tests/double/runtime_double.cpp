#include "double/runtime_double.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <platform_testing.h>

#include "double/describe.h"

namespace runtime_double {

namespace {

// The factories are free functions, so the double they answer from is found here.
std::atomic<RuntimeDouble*> installed{nullptr};

}  // namespace

RuntimeDouble::RuntimeDouble() {
  RuntimeDouble* expected = nullptr;
  if (!installed.compare_exchange_strong(expected, this)) {
    ADD_FAILURE() << "runtime double: another RuntimeDouble is installed already";
  }
}

RuntimeDouble::~RuntimeDouble() {
  RuntimeDouble* self = this;
  installed.compare_exchange_strong(self, nullptr);
  ExpectAllReleased();
  for (const Remains& remains : remains_) remains.destroy(remains.memory);
}

void RuntimeDouble::Fail(std::string_view call, HRESULT result, unsigned nth) {
  EXPECT_TRUE(IsFailableCall(call)) << "runtime double: no call named " << call;
  EXPECT_TRUE(FAILED(result)) << "runtime double: " << call << " must fail with a failure code";
  EXPECT_GE(nth, 1u) << "runtime double: calls are counted from 1";
  failures_.FailNth(call, result, nth);
}

void RuntimeDouble::FailEvery(std::string_view call, HRESULT result) {
  EXPECT_TRUE(IsFailableCall(call)) << "runtime double: no call named " << call;
  EXPECT_TRUE(FAILED(result)) << "runtime double: " << call << " must fail with a failure code";
  failures_.FailEvery(call, result);
}

void RuntimeDouble::ExpectAllReleased() const {
  for (const LiveObject& live : liveObjects_) {
    ADD_FAILURE() << "runtime double: " << live.object << " #" << live.serial
                  << " is still referenced";
  }
}

std::vector<std::string> RuntimeDouble::callsTo(std::string_view prefix) const {
  std::vector<std::string> matching;
  for (const std::string& call : log_.calls) {
    if (call.starts_with(prefix)) matching.push_back(call);
  }
  return matching;
}

std::vector<std::string> RuntimeDouble::releasedObjects() const {
  std::vector<std::string> objects;
  for (const FinalRelease& release : log_.finalReleases) objects.push_back(release.object);
  return objects;
}

RuntimeDouble* RuntimeDouble::Installed(std::string_view caller) {
  RuntimeDouble* runtime = installed.load();
  if (runtime == nullptr) {
    ADD_FAILURE() << caller << " called with no RuntimeDouble installed";
  }
  return runtime;
}

HRESULT RuntimeDouble::Enter(std::string_view call, std::string_view arguments) {
  EXPECT_TRUE(IsFailableCall(call)) << "runtime double: " << call << " is missing from its list";
  log_.calls.push_back(std::string(call) + "(" + std::string(arguments) + ")");
  return failures_.Next(call);
}

HRESULT RuntimeDouble::EnterQuery(std::string_view object, REFIID iid) {
  std::string call = std::string(object) + ".QueryInterface(" + InterfaceName(iid) + ")";
  log_.calls.push_back(call);
  return failures_.Next(call);
}

void RuntimeDouble::Unexpected(std::string_view call) {
  log_.calls.push_back(std::string(call) + "(...)");
  ADD_FAILURE() << "runtime double: unexpected call " << call;
}

unsigned RuntimeDouble::NoteCreated(std::string_view object) {
  liveObjects_.push_back({++created_, std::string(object)});
  return created_;
}

void RuntimeDouble::NoteFinalRelease(unsigned serial, void* memory, void (*destroy)(void*)) {
  const auto live =
      std::find_if(liveObjects_.begin(), liveObjects_.end(),
                   [serial](const LiveObject& object) { return object.serial == serial; });
  if (live == liveObjects_.end()) {
    ADD_FAILURE() << "runtime double: object #" << serial << " released twice";
    return;
  }
  log_.finalReleases.push_back({live->object, serial,
                                platform_testing::CurrentApartment().initializations,
                                platform_testing::LiveHeapBlocks(), log_.calls.size()});
  liveObjects_.erase(live);
  remains_.push_back({memory, destroy});
}

}  // namespace runtime_double
