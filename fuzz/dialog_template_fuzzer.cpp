// Dialog templates from arbitrary bytes, as a module's resources might hold them. Besides the
// sanitizers' checks, it holds the layout to its promise: a template that decodes encodes to
// bytes that decode to the same template.
#include <cstdint>

#include <dialog_resources.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto decoded = dialog_resources::DecodeDialogTemplate(data, size);
  if (!decoded) return 0;
  const std::vector<BYTE> encoded = dialog_resources::EncodeDialogTemplate(*decoded);
  const auto again = dialog_resources::DecodeDialogTemplate(encoded.data(), encoded.size());
  if (!again || !(*again == *decoded)) __builtin_trap();
  return 0;
}
