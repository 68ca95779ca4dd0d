#include "platform/message_boxes.h"

namespace dorvane {

MessageAnswer ShowJobError(MessageBoxes& boxes, std::u16string text) {
  MessageRequest request;
  request.text = std::move(text);
  request.caption = u"错误";
  return boxes.Show(request);
}

}  // namespace dorvane
