// The files chosen in the open dialog, as full paths: its buffer holds either one full path,
// or the folder followed by the names, each terminated, with an empty string at the end.
#pragma once
#include <vector>

#include "converter/conv_text.h"

namespace conv {

// `buffer` holds `size` characters. The folder gets a backslash when it has none.
std::vector<u16> SelectedFiles(const char16_t* buffer, size_t size);

}  // namespace conv
