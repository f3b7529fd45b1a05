#include "player/library/playlist.h"

#include "player/base/device_fs.h"

namespace crv {

CPlaylist::CPlaylist() : clock_(CurrentSystemTime) {}
CPlaylist::~CPlaylist() = default;

CMediaItem* CPlaylist::Advance(int32_t code) {
  const int count = Count();
  if (count == 0) return nullptr;
  switch (code) {
    case kStepNext:
      if (current_ < count - 1) ++current_;
      break;
    case kStepPrevious:
      if (current_ != 0) --current_;
      break;
    case kStepRandom:
      random_.Seed(RandomSeed(clock_ ? clock_() : CurrentSystemTime()));
      current_ = DrawOtherIndex(random_, count, current_, &last_draws_);
      break;
    case kStepFirst:
      current_ = 0;
      break;
    case kStepLast:
      current_ = count - 1;
      break;
    default:  // kStepCurrent and unknown codes stay
      break;
  }
  if (current_ < 0) current_ = 0;
  if (current_ >= count) current_ = count - 1;
  return entries_[current_].get();
}

bool CPlaylist::Append(const CMediaItem& item) {
  if (!device_fs::FileExists(item.GetLocation())) return false;
  entries_.push_back(std::make_unique<CMediaItem>(item));
  return true;
}

bool CPlaylist::ReplaceAt(int index, const CMediaItem& item) {
  if (index < 0 || index >= Count()) return false;
  entries_[index] = std::make_unique<CMediaItem>(item);
  return true;
}

bool CPlaylist::RemoveAt(int index) {
  if (index < 0 || index >= Count()) return false;
  entries_.erase(entries_.begin() + index);
  return true;
}

int CPlaylist::IndexOf(const CMediaItem& item) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i] && entries_[i]->IsSame(item)) return static_cast<int>(i);
  return -1;
}

CMediaItem* CPlaylist::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return entries_[index].get();
}

}  // namespace crv
