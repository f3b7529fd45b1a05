#include "converter/output_name.h"

namespace conv {
namespace {

size_t LastSeparator(const u16& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsPathSeparator(path[i - 1])) return i - 1;
  return u16::npos;
}

}  // namespace

u16 FileNamePart(const u16& path) {
  size_t cut = LastSeparator(path);
  return cut == u16::npos ? path : path.substr(cut + 1);
}

bool ChooseOutputName(const u16& source, bool sameFolder, const u16& outputFolder, const ExistsFn& exists,
                      u16* output) {
  u16 name;
  if (sameFolder) {
    name = source;
  } else {
    size_t cut = LastSeparator(source);
    if (outputFolder.empty() || cut == u16::npos) return false;
    name = outputFolder;
    bool slashesOnly = outputFolder.find(u'\\') == u16::npos && outputFolder.find(u'/') != u16::npos;
    if (!IsPathSeparator(name.back())) name += slashesOnly ? u'/' : u'\\';
    name += source.substr(cut + 1);
  }
  // Nothing to name the output after: a folder rather than a file.
  if (name.empty() || IsPathSeparator(name.back())) return false;

  // The extension is looked for in the file name only: a dot in a folder name ("C:\v1.2\clip")
  // is not an extension, and cutting there would write into another folder.
  size_t nameStart = LastSeparator(name) + 1;  // npos + 1 == 0
  size_t dot = name.rfind(u'.');
  bool hasDot = dot != u16::npos && dot >= nameStart;
  u16 stem = hasDot ? name.substr(0, dot) : name;
  bool isMov = hasDot && EqualsNoCaseAscii(name.substr(dot), u".mov");

  auto accept = [&](const u16& candidate) {
    if (candidate.size() > kMaxSpecChars) return false;
    *output = candidate;
    return true;
  };
  if (!sameFolder || (hasDot && !isMov)) {
    u16 candidate = stem + u".mov";
    if (!exists(candidate)) return accept(candidate);
  }
  for (int i = 1; i < kNumberingLimit; ++i) {
    u16 candidate = stem + u"(" + Decimal(i) + u").mov";
    if (!exists(candidate)) return accept(candidate);
  }
  return false;
}

}  // namespace conv
