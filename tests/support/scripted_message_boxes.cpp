#include "scripted_message_boxes.h"

namespace dorvane::testing {

MessageAnswer ScriptedMessageBoxes::Show(const MessageRequest& request) {
  shown_.push_back(request);
  if (!answers_.empty()) {
    MessageAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

std::vector<std::string> ScriptedMessageBoxes::Lines() const {
  std::vector<std::string> lines;
  for (const MessageRequest& request : shown_)
    lines.push_back(ToUtf8(request.caption) + ": " + ToUtf8(request.text));
  return lines;
}

}  // namespace dorvane::testing
