// Every text the converter shows in a message box.
#pragma once

namespace conv {

constexpr char16_t kTextNoEngine[] =
    u"Could not initialize QuickTime engine.\rMake sure you have QuickTime installed.";
constexpr char16_t kTextComponentsMissing[] =
    u"Could not initialize QuickTime engine.\rQuickTime Components missing.\r\rTo install QuickTime modules, "
    u"click on\rStart/Programs/QuickTime/QuickTime Updater\rand select Custom. Check \"QuickTime Essentials\",\r"
    u"\"QuickTime Internet Extras\" and \"QuickTime Authoring\"\rand then click on \"Update Now\".";
constexpr char16_t kTextPrepareFailed[] = u"Error preparing convertion";
constexpr char16_t kTextOpenComponentsMissing[] =
    u"Error opening movie file.\rQuickTime Components missing.\r\rTo install QuickTime modules, "
    u"click on\rStart/Programs/QuickTime/QuickTime Updater\rand select Custom. Check \"QuickTime Essentials\",\r"
    u"\"QuickTime Internet Extras\" and \"QuickTime Authoring\"\rand then click on \"Update Now\".";
constexpr char16_t kTextWrongName[] = u"Wrong file name.\rTry to rename it and convert again.";
constexpr char16_t kTextConvertError[] = u"Error converting file";
constexpr char16_t kTextTooLong[] = u"Too long file name";
constexpr char16_t kTextNoFolder[] = u"You did not select a folder.\nPlease select a correct folder for converted movies.";
constexpr char16_t kTextCancelQuestion[] = u"Are you sure you want to cancel conversion process?";
constexpr char16_t kTextExitQuestion[] = u"Are you sure you want to exit?";

}  // namespace conv
