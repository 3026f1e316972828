// NameList.
#include "app/name_list.h"

#include <limits>

namespace morvane {

namespace {

// The rows of the largest sheet a workbook can hold.
constexpr std::size_t kSheetRows = 1'048'576;

// What a text holds without a block of its own.
const std::size_t kShortTextRoom = Text().capacity();

}  // namespace

int32_t NameList::AppendItem() {
  int32_t position;
  NameListObserver* observer;
  {
    std::lock_guard lock(mutex_);
    if (items_.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return -1;
    position = static_cast<int32_t>(items_.size());
    // Room for a whole sheet's rows at once: room not yet written takes address space, not
    // memory, and a load of a large sheet then never moves the items it has appended.
    if (items_.capacity() == 0) items_.reserve(kSheetRows);
    items_.emplace_back();
    observer = observer_;
  }
  if (observer) observer->ItemAppended(position);
  return position;
}

void NameList::SetItemText(int32_t position, const Text& text) {
  // A text longer than an item's own room is copied at its own size, before the lock: assigning
  // it into the empty item would round its room up to twice the short-text room, a third more
  // memory for a list of long file names. The old text is freed after the lock too.
  const bool fitsInItem = text.size() <= kShortTextRoom;
  Text copy = fitsInItem ? Text() : text;
  NameListObserver* observer;
  {
    std::lock_guard lock(mutex_);
    if (position < 0 || static_cast<std::size_t>(position) >= items_.size()) return;
    Text& item = items_[static_cast<std::size_t>(position)];
    if (fitsInItem && item.capacity() == kShortTextRoom) {
      item.assign(text);
    } else {
      if (fitsInItem) copy = text;
      item.swap(copy);
    }
    observer = observer_;
  }
  if (observer) observer->ItemChanged(position);
}

Text NameList::GetItemText(int32_t position) const {
  std::lock_guard lock(mutex_);
  if (position < 0 || static_cast<std::size_t>(position) >= items_.size()) return {};
  return items_[static_cast<std::size_t>(position)];
}

void NameList::SetItemTable(const ByteRun& table) {
  NameListObserver* observer;
  {
    std::lock_guard lock(mutex_);
    table_ = table;
    // Only the empty table is ever given, and it describes no items.
    decltype(items_)().swap(items_);
    observer = observer_;
  }
  if (observer) observer->ItemsReplaced();
}

int32_t NameList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(items_.size());
}

void NameList::SetObserver(NameListObserver* observer) {
  std::lock_guard lock(mutex_);
  observer_ = observer;
}

}  // namespace morvane
