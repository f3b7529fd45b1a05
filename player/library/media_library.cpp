#include "player/library/media_library.h"

#include <unordered_set>
#include "player/base/device_fs.h"
#include "player/library/media_xml.h"

namespace crv {
namespace {

u16 IdentityKey(const CMediaItem& item) {
  return Decimal(item.GetType()) + u'|' + item.GetLocation();
}

}  // namespace

u16 CMediaLibrary::FilePath(const u16& program_folder) {
  u16 path(program_folder);
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
  return path + kFileName;
}

CMediaLibrary::~CMediaLibrary() = default;

bool CMediaLibrary::Load(const u16& program_folder) {
  Clear();
  std::string bytes;
  if (!device_fs::ReadFileBounded(FilePath(program_folder), media_xml::kMaxFileBytes, bytes))
    return false;
  return LoadFromText(bytes.data(), bytes.size());
}

bool CMediaLibrary::LoadFromText(const char* data, size_t size) {
  Clear();
  // The Add rule, with the duplicate search done through a set: the list starts empty, so
  // "already present" means "met earlier in this file".
  std::unordered_set<u16> seen;
  auto status = media_xml::ReadEntries(data, size, [&](std::unique_ptr<CMediaItem> item) {
    if (!device_fs::FileExists(item->GetLocation())) return;
    if (!seen.insert(IdentityKey(*item)).second) return;
    item->GetTitle();  // as the Add rule's deep copy would
    items_.push_back(std::move(item));
  });
  return status != media_xml::ReadStatus::kMalformed;
}

std::string CMediaLibrary::SaveToText() const {
  return media_xml::WriteEntries(media_xml::kLibraryRoot, items_);
}

bool CMediaLibrary::Save(const u16& program_folder) const {
  return device_fs::ReplaceFileContents(FilePath(program_folder), SaveToText());
}

bool CMediaLibrary::Add(const CMediaItem& item) {
  if (Contains(item)) return false;
  return AddAbsent(item);
}

bool CMediaLibrary::AddAbsent(const CMediaItem& item) {
  if (!device_fs::FileExists(item.GetLocation())) return false;
  items_.push_back(std::make_unique<CMediaItem>(item));
  return true;
}

int CMediaLibrary::IndexOf(const CMediaItem& item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] && items_[i]->IsSame(item)) return static_cast<int>(i);
  return -1;
}

CMediaItem* CMediaLibrary::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[index].get();
}

bool CMediaLibrary::RemoveAt(int index) {
  if (index < 0 || index >= Count()) return false;
  items_.erase(items_.begin() + index);
  return true;
}

bool CMediaLibrary::ReplaceAt(int index, const CMediaItem& item) {
  if (index < 0 || index >= Count()) return false;
  items_[index] = std::make_unique<CMediaItem>(item);
  return true;
}

}  // namespace crv
