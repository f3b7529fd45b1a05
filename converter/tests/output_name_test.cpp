// Output names: forms A and B, the ".mov" replacement, the numbering and the length limit.
#include <gtest/gtest.h>

#include <set>

#include "converter/output_name.h"

using namespace conv;

namespace {

struct Folder {
  std::set<u16> files;
  ExistsFn Exists() const {
    return [this](const u16& path) { return files.count(path) > 0; };
  }
};

u16 Name(const u16& source, const Folder& folder, bool sameFolder = true, const u16& output = u"") {
  u16 result;
  if (!ChooseOutputName(source, sameFolder, output, folder.Exists(), &result)) return u"<fails>";
  return result;
}

}  // namespace

TEST(ConverterNames, SameFolderReplacesTheExtensionUnlessThatNameIsTaken) {
  Folder folder;
  EXPECT_EQ(Name(u"C:\\v\\clip.avi", folder), u"C:\\v\\clip.mov");
  folder.files = {u"C:\\v\\clip.mov"};
  EXPECT_EQ(Name(u"C:\\v\\clip.avi", folder), u"C:\\v\\clip(1).mov");
  folder.files.insert(u"C:\\v\\clip(1).mov");
  EXPECT_EQ(Name(u"C:\\v\\clip.avi", folder), u"C:\\v\\clip(2).mov");
}

TEST(ConverterNames, AMovSourceIsNeverItsOwnOutput) {
  Folder folder;
  folder.files = {u"C:\\v\\movie.mov"};
  EXPECT_EQ(Name(u"C:\\v\\movie.mov", folder), u"C:\\v\\movie(1).mov");
  // Even when the source is not there any more, its own name is not taken.
  EXPECT_EQ(Name(u"C:\\v\\gone.mov", Folder()), u"C:\\v\\gone(1).mov");
  EXPECT_EQ(Name(u"C:\\v\\LOUD.MoV", Folder()), u"C:\\v\\LOUD(1).mov") << "the extension compares without case";
  EXPECT_EQ(Name(u"C:\\v\\clip.movie", Folder()), u"C:\\v\\clip.mov") << "only exactly \".mov\" counts";
}

TEST(ConverterNames, ANameWithoutExtensionIsNumberedNextToItsSource) {
  EXPECT_EQ(Name(u"C:\\v\\clip", Folder()), u"C:\\v\\clip(1).mov");
  EXPECT_EQ(Name(u"C:\\v1.2\\clip", Folder()), u"C:\\v1.2\\clip(1).mov")
      << "a dot in a folder name is no extension: the output stays in the source's folder";
  EXPECT_EQ(Name(u"C:\\v1.2\\clip.avi", Folder()), u"C:\\v1.2\\clip.mov");
}

TEST(ConverterNames, OutputFolderTakesTheFileName) {
  Folder folder;
  EXPECT_EQ(Name(u"C:\\v\\clip.mov", folder, false, u"D:\\out"), u"D:\\out\\clip.mov");
  EXPECT_EQ(Name(u"C:\\v\\clip.mov", folder, false, u"D:\\out\\"), u"D:\\out\\clip.mov");
  EXPECT_EQ(Name(u"C:\\v\\clip", folder, false, u"D:\\out"), u"D:\\out\\clip.mov") << "appended without a dot";
  EXPECT_EQ(Name(u"C:\\v\\a.b.avi", folder, false, u"D:\\out"), u"D:\\out\\a.b.mov");
  folder.files = {u"D:\\out\\clip.mov"};
  EXPECT_EQ(Name(u"C:\\v\\clip.mov", folder, false, u"D:\\out"), u"D:\\out\\clip(1).mov");
  EXPECT_EQ(Name(u"C:\\v\\clip", folder, false, u"D:\\out"), u"D:\\out\\clip(1).mov");
}

TEST(ConverterNames, OutputFolderThatIsTheSourceFolderStillKeepsTheSource) {
  Folder folder;
  folder.files = {u"C:\\v\\movie.mov"};
  EXPECT_EQ(Name(u"C:\\v\\movie.mov", folder, false, u"C:\\v"), u"C:\\v\\movie(1).mov");
}

TEST(ConverterNames, OutputFolderFormNeedsAFolderAndASourceFolder) {
  EXPECT_EQ(Name(u"C:\\v\\clip.avi", Folder(), false, u""), u"<fails>");
  EXPECT_EQ(Name(u"clip.avi", Folder(), false, u"D:\\out"), u"<fails>");
  EXPECT_EQ(Name(u"C:\\v\\", Folder()), u"<fails>") << "a folder is no movie name";
}

TEST(ConverterNames, NumberingStopsAfter999) {
  Folder folder;
  folder.files.insert(u"C:\\v\\movie.mov");
  for (int i = 1; i <= 998; ++i) folder.files.insert(u"C:\\v\\movie(" + Decimal(i) + u").mov");
  EXPECT_EQ(Name(u"C:\\v\\movie.mov", folder), u"C:\\v\\movie(999).mov");
  folder.files.insert(u"C:\\v\\movie(999).mov");
  EXPECT_EQ(Name(u"C:\\v\\movie.mov", folder), u"<fails>");
  EXPECT_EQ(Name(u"C:\\v\\movie.avi", folder), u"<fails>");
}

TEST(ConverterNames, TheOutputPathHoldsAtMost254Characters) {
  u16 folder = u"C:\\" + u16(240, u'f') + u"\\";   // 244 characters
  u16 source = folder + u"abcdef.avi";            // 254
  EXPECT_EQ(Name(source, Folder()).size(), 254u);
  u16 movSource = folder + u"abcdef.mov";          // numbered: 257
  EXPECT_EQ(Name(movSource, Folder()), u"<fails>");
  EXPECT_EQ(Name(u"C:\\v\\clip.avi", Folder(), false, u16(250, u'x')), u"<fails>");
}

TEST(ConverterNames, FileNamePartIsAfterTheLastSeparator) {
  EXPECT_EQ(FileNamePart(u"C:\\a\\b.mov"), u"b.mov");
  EXPECT_EQ(FileNamePart(u"/tmp/x/y.avi"), u"y.avi");
  EXPECT_EQ(FileNamePart(u"plain"), u"plain");
}
