#include "cli/console_message_boxes.h"

#include "cli/console.h"
#include "platform/utf8.h"

namespace dorvane::cli {
namespace {

bool IsLineBreakOrSpace(char16_t unit) {
  return unit == u'\r' || unit == u'\n' || unit == u' ';
}

std::u16string JoinLines(std::u16string_view text) {
  while (!text.empty() && IsLineBreakOrSpace(text.back())) text.remove_suffix(1);
  std::u16string joined;
  joined.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') {
      joined.push_back(text[i]);
      continue;
    }
    while (i + 1 < text.size() && IsLineBreakOrSpace(text[i + 1])) ++i;
    joined.push_back(u' ');
  }
  return joined;
}

// Nobody can answer a question on the console: the box's default button stands.
MessageAnswer DefaultAnswer(const MessageRequest& request) {
  if (request.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return request.secondButtonDefault ? MessageAnswer::No : MessageAnswer::Yes;
}

}  // namespace

bool IsSuccessCaption(std::u16string_view caption) {
  return caption == u"文件合并成功" || caption == u"文件合并成功,位置在：";
}

std::u16string MessageLine(const MessageRequest& request) {
  // A caption that ends in a colon already introduces its text.
  const bool colon = request.caption.ends_with(u':') || request.caption.ends_with(u'：');
  return request.caption + (colon ? u" " : u": ") + JoinLines(request.text);
}

MessageAnswer ConsoleMessageBoxes::Show(const MessageRequest& request) {
  ++shownCount_;
  const bool success = IsSuccessCaption(request.caption);
  if (success) successShown_ = true;
  PrintLine(success ? ConsoleStream::Output : ConsoleStream::Error,
            Utf16ToUtf8(MessageLine(request)));
  return DefaultAnswer(request);
}

}  // namespace dorvane::cli
