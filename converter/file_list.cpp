#include "converter/file_list.h"

#include "converter/output_name.h"

namespace conv {

std::vector<u16> SelectedFiles(const char16_t* buffer, size_t size) {
  std::vector<u16> parts;
  size_t at = 0;
  while (at < size && buffer[at]) {
    size_t end = at;
    while (end < size && buffer[end]) ++end;
    parts.emplace_back(buffer + at, buffer + end);
    at = end + 1;
  }
  if (parts.size() <= 1) return parts;
  u16 folder = parts[0];
  if (!IsPathSeparator(folder.back())) folder += u'\\';
  std::vector<u16> files;
  for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
  return files;
}

}  // namespace conv
