#include "converter/movie_engine.h"

#include "converter/output_name.h"

namespace conv {

bool MakeFileSpec(const u16& path, FileSpec* spec) {
  *spec = FileSpec();
  if (path.empty() || path.size() > kMaxSpecChars) return false;
  spec->length = static_cast<uint8_t>(path.size());
  path.copy(spec->name, path.size());
  return true;
}

}  // namespace conv
