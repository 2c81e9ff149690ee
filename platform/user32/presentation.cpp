#include "user32/presentation.h"

#include <unistd.h>

namespace user32 {
namespace {

thread_local const platform_testing::DialogScript* installedScript = nullptr;

// Runs the script once; afterwards the user has nothing more to do.
class ScriptedPresentation final : public Presentation {
 public:
  explicit ScriptedPresentation(const platform_testing::DialogScript& script) : script_(script) {}

  bool Interact(DialogSession& session) override {
    if (done_) return false;
    done_ = true;
    if (script_) script_(session);
    return true;
  }

 private:
  const platform_testing::DialogScript& script_;
  bool done_ = false;
};

}  // namespace

std::unique_ptr<Presentation> ChoosePresentation() {
  if (installedScript != nullptr) return std::make_unique<ScriptedPresentation>(*installedScript);
  return MakeTerminalPresentation(STDIN_FILENO, STDOUT_FILENO);
}

}  // namespace user32

namespace platform_testing {

ScopedDialogScript::ScopedDialogScript(DialogScript script)
    : script_(std::move(script)), previous_(user32::installedScript) {
  user32::installedScript = &script_;
}

ScopedDialogScript::~ScopedDialogScript() { user32::installedScript = previous_; }

}  // namespace platform_testing
