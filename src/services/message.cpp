// ShowMessage.
#include "services/message.h"

#include "app/program_texts.h"

namespace morvane {

void ShowMessage(MessagePresenter& presenter, const Text& message) {
  presenter.ShowMessageBox(texts::kMessageCaption, message);
}

}  // namespace morvane
