#pragma once

#include <string>

#include "platform/message_boxes.h"

namespace dorvane::cli {

// Every message box of the jobs becomes one line "CAPTION: TEXT": the success
// messages on standard output, everything else on standard error. A job reports
// success only through its message, so the tool learns from here whether the job
// wrote its file.
class ConsoleMessageBoxes final : public MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest& request) override;

  bool successShown() const { return successShown_; }
  int shownCount() const { return shownCount_; }

 private:
  bool successShown_ = false;
  int shownCount_ = 0;
};

bool IsSuccessCaption(std::u16string_view caption);

// The message as one line: system texts end with a line end and may hold several.
std::u16string MessageLine(const MessageRequest& request);

}  // namespace dorvane::cli
