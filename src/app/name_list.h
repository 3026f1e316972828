// NameList: the items of 超级列表框1, safe to use from any thread, one lock per operation.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "services/memory.h"
#include "services/texts.h"

namespace morvane {

// Told of every change, on the thread that made it (the user-interface thread in the program).
class NameListObserver {
 public:
  virtual ~NameListObserver() = default;
  virtual void ItemAppended(int32_t position) = 0;
  virtual void ItemChanged(int32_t position) = 0;
  virtual void ItemsReplaced() = 0;
};

class NameList {
 public:
  // Position of the new item (holding the empty text), or -1 when the list cannot grow.
  int32_t AppendItem();
  // A position that names no item changes nothing.
  void SetItemText(int32_t position, const Text& text);
  // The item's text, whole; the empty text for a position that names no item.
  Text GetItemText(int32_t position) const;
  // Replaces the item table; items are rebuilt from it (an empty table leaves no item).
  void SetItemTable(const ByteRun& table);
  int32_t Count() const;

  // At most one observer; null to stop observing.
  void SetObserver(NameListObserver* observer);

 private:
  mutable std::mutex mutex_;
  // Items of a large list fill huge pages where the system has them.
  std::vector<Text, LargeBlockAllocator<Text>> items_;
  ByteRun table_;
  NameListObserver* observer_ = nullptr;
};

}  // namespace morvane
