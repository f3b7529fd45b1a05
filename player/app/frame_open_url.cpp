// "Open URL...": the address dialog, a web page's file list when the address names no file,
// then a picture downloaded into "My Documents" and shown, or a movie played from the web
// through the link file "\My Documents\temp.url".
#include <windows.h>

#include <string>
#include <vector>

#include "player/app/frame_wnd.h"
#include "player/base/win16.h"
#include "player/playback/skin_ctrl.h"
#include "player/share/http_downloading_dlg.h"
#include "player/share/http_open_dlg.h"
#include "player/share/select_http_files_dlg.h"
#include "player/share/web_address.h"

namespace crv {
namespace {

constexpr char16_t kDocumentsFolder[] = u"\\My Documents";
constexpr char16_t kLinkFile[] = u"\\My Documents\\temp.url";

// The address in 8-bit characters, no line end; the file is replaced.
bool WriteLinkFile(const u16& address) {
  std::string text;
  text.reserve(address.size());
  for (char16_t c : address) text.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  // Only ever a plain file replaced.
  const DWORD attributes = GetFileAttributesW(W(kLinkFile));
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)))
    return false;
  HANDLE file = CreateFileW(W(kLinkFile), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(file);
  return ok;
}

}  // namespace

// The address dialog over the stored history; false when it was cancelled.
bool FrameWnd::AskForAddress(u16& address, bool& namesFile) {
  UrlHistoryStore store;
  std::vector<char16_t> last(kUrlChars + 1, 0);
  LoadSaveLastUrl(store_, last.data(), last.size(), Direction::Read);
  store.last = last.data();
  LoadSaveUrlHistory(store_, store.history, Direction::Read);
  store.save = [this](const u16& lastAddress, const std::vector<u16>& history) {
    std::vector<char16_t> text(lastAddress.begin(), lastAddress.end());
    text.resize(kUrlChars + 1, 0);
    text[kUrlChars] = 0;
    LoadSaveLastUrl(store_, text.data(), text.size(), Direction::Write);
    std::vector<u16> urls = history;
    LoadSaveUrlHistory(store_, urls, Direction::Write);
  };
  store.clear = [this] { DeleteUrlHistory(store_); };
  CHTTPOpenDlg dialog(window_, instance_, store);
  if (dialog.DoModal() != IDOK) return false;
  address = dialog.Address();
  namesFile = dialog.NamesFile();
  return true;
}

void FrameWnd::OpenUrlCommand() {
  u16 address;
  for (;;) {
    bool namesFile = false;
    if (!AskForAddress(address, namesFile)) return;
    if (namesFile) break;
    // A web page: its media and picture links to choose from.
    std::string page;
    if (!FetchPageStart(address, page)) return;
    NormaliseLinkTags(page);
    CSelectHTTPFilesDlg files(window_, instance_, PageBase(address), page);
    if (files.DoModal() != IDOK || !files.Chosen()) continue;  // back to the address dialog
    // The row's own link: a link into a folder of the page keeps its folder.
    address = files.Chosen()->address;
    break;
  }
  if (KindOfAddress(address) == WebFileKind::kPicture) OpenPictureFromWeb(address);
  else PlayFromWeb(address);
}

// Downloaded into "My Documents" under a name of its own, then shown as the album's picture.
void FrameWnd::OpenPictureFromWeb(const u16& address) {
  SwitchToAlbum();
  const u16 target = PictureTargetPath(kDocumentsFolder, address);
  if (target.empty()) return;  // no safe local picture name
  CHTTPDownloadingDlg download(window_, instance_, address, target);
  if (download.DoModal() != IDOK || download.Result() != DownloadResult::kDone) return;
  if (OpenPath(target, false, false)) OpenPictureView();
}

// Windows Media types go to the hosted player; the rest plays from the link file through the
// player's own sources while it downloads.
void FrameWnd::PlayFromWeb(const u16& address) {
  if (!WriteLinkFile(address)) return;
  SwitchToMedia();
  if (TheViewSettings().View() != kViewMediaPanel || !panel_ || !panel_->IsWindowAlive()) return;
  // The link file is the same file every time: the panel lets go of the movie it had, or it
  // would take the new address for the item it already holds.
  panel_->StopAndReset();
  if (IsWindowsMediaAddress(address)) {
    const u16 canonical = CanonicalAddress(address);
    SendMessageW(panel_->Handle(), kMsgPanelPlayFile, 0, reinterpret_cast<LPARAM>(canonical.c_str()));
    return;
  }
  const u16 link = kLinkFile;
  SendMessageW(panel_->Handle(), kMsgPanelPlayFile, reinterpret_cast<WPARAM>(address.c_str()),
               reinterpret_cast<LPARAM>(link.c_str()));
}

}  // namespace crv
