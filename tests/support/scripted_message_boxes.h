#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/message_boxes.h"
#include "platform/utf8.h"

namespace dorvane::testing {

// Records every message and answers questions from a script (Yes when the script
// is empty and the box asks a question, Ok otherwise).
class ScriptedMessageBoxes : public MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest& request) override;

  void AnswerNext(MessageAnswer answer) { answers_.push_back(answer); }
  const std::vector<MessageRequest>& shown() const { return shown_; }
  // "CAPTION: TEXT" per message, in order, as UTF-8.
  std::vector<std::string> Lines() const;
  void Clear() { shown_.clear(); }

 private:
  std::deque<MessageAnswer> answers_;
  std::vector<MessageRequest> shown_;
};

inline std::string ToUtf8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}
inline std::u16string FromUtf8(std::string_view text) {
  return Utf8ToUtf16(text);
}

}  // namespace dorvane::testing
