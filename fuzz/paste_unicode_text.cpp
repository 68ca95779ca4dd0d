#include "fuzz/paste_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dorvane;
  fuzz::PasteHarness harness({data, size});
  harness.clipboard.AddBlock(kClipboardUnicodeText, {harness.block.begin(), harness.block.end()});
  const auto before = harness.SnapshotIfSmall();
  const std::int32_t cols = harness.control.Cols();
  const int result = harness.editor.PasteUnicodeText();
  harness.CheckAfterPaste(result, cols, before);
  return 0;
}
