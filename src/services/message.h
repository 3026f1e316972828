// ShowMessage: the program's one way of telling the user something.
#pragma once

#include "services/texts.h"

namespace morvane {

// Whatever shows message boxes on this platform.
class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  virtual void ShowMessageBox(const Text& caption, const Text& message) = 0;
};

// A box captioned "信息：" with the message and one OK button; returns when it is closed.
void ShowMessage(MessagePresenter& presenter, const Text& message);

}  // namespace morvane
