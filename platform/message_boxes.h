#pragma once

#include <string>

namespace dorvane {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Information, Stop, Question };
// Whose modal box it is: the main dialog's, the grid's, or one without owner.
enum class MessageOwner { MainDialog, Grid, None };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
  std::u16string text;
  std::u16string caption;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
  bool secondButtonDefault = false;  // "No" is the default of a Yes/No question
  MessageOwner owner = MessageOwner::MainDialog;
};

// Every message the program shows goes through here: a message box on Windows,
// a printed line in the command-line tool, a recorded script in tests.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual MessageAnswer Show(const MessageRequest& request) = 0;
};

// The job errors: caption "错误", OK only, no icon, owned by the main dialog.
MessageAnswer ShowJobError(MessageBoxes& boxes, std::u16string text);

}  // namespace dorvane
