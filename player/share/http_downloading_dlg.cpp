#include "player/share/http_downloading_dlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "player/base/win16.h"
#include "player/media/rstream.h"
#include "player/resources/resource_ids.h"
#include "player/share/web_address.h"

namespace crv {
namespace {

// The worker's end, posted with its DownloadResult (never sent: the dialog's thread waits for
// the worker when it goes, and must not be waited for in return).
constexpr UINT kMsgFinished = WM_APP + 1;
constexpr uint32_t kPieceBytes = 16384;  // one block of the byte stream per read
constexpr DWORD kWriteChunk = 1 << 20;

// The attributes of whatever a download must never write over.
constexpr DWORD kNotAPlainFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

// Nothing there yet, or a plain file that may be replaced. Any other answer (no access, a
// name the system refuses) counts as not writable.
bool MayWriteAt(const u16& path) {
  const DWORD attributes = GetFileAttributesW(W(path.c_str()));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  return !(attributes & kNotAPlainFile);
}

bool WriteAll(HANDLE file, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(count, kWriteChunk));
    DWORD written = 0;
    if (!WriteFile(file, bytes, piece, &written, nullptr) || written == 0) return false;
    bytes += written;
    count -= written;
  }
  return true;
}

// The bytes go to a new file in the destination's own folder first (so the final move is a
// rename on one volume), which replaces the destination only once it is complete and closed.
// On any failure the temporary file is deleted and the destination is as it was.
bool StoreFile(const u16& path, const std::vector<uint8_t>& bytes) {
  if (!MayWriteAt(path)) return false;
  const size_t separator = path.find_last_of(u"\\/");
  if (separator == u16::npos) return false;  // a full path is expected
  const u16 folder = path.substr(0, separator + 1);
  wchar_t temporary[MAX_PATH] = L"";
  if (!GetTempFileNameW(W(folder.c_str()), L"crv", 0, temporary)) return false;
  HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool stored = file != INVALID_HANDLE_VALUE;
  if (stored) {
    stored = WriteAll(file, bytes.data(), bytes.size()) && FlushFileBuffers(file);
    stored = CloseHandle(file) && stored;
  }
  stored = stored && MoveFileExW(temporary, W(path.c_str()), MOVEFILE_REPLACE_EXISTING);
  if (!stored) DeleteFileW(temporary);
  return stored;
}

}  // namespace

DownloadResult DownloadToFile(const u16& address, const u16& path, std::atomic<bool>& stop,
                              DownloadProgress progress) {
  if (stop.load()) return DownloadResult::kStopped;
  // Refused before anything is fetched; looked at again before the file is written.
  if (!MayWriteAt(path)) return DownloadResult::kFailed;

  RStream stream;
  if (!stream.OpenUrl(address)) return DownloadResult::kFailed;
  const int64_t size = stream.Seek(0, 2);
  if (size <= 0 || stream.Seek(0, 0) != 0) return DownloadResult::kFailed;
  const uint32_t total = static_cast<uint32_t>(size);  // the stream keeps sizes far below 4 GB

  std::vector<uint8_t> bytes;
  try {
    bytes.resize(total);
  } catch (const std::bad_alloc&) {
    return DownloadResult::kFailed;
  }
  uint32_t done = 0;
  while (done < total && !stop.load()) {
    const uint32_t wanted = std::min(kPieceBytes, total - done);
    const uint32_t got = stream.Read(bytes.data() + done, wanted, nullptr);
    done += got;
    if (progress && got > 0) progress(static_cast<int>(uint64_t{done} * 100 / total));
    if (got < wanted) break;  // the server stopped sending
  }
  stream.Close();

  if (stop.load()) return DownloadResult::kStopped;
  if (done < total) return DownloadResult::kFailed;
  return StoreFile(path, bytes) ? DownloadResult::kDone : DownloadResult::kFailed;
}

u16 DownloadTargetPath(const u16& documentsFolder, const u16& address) {
  const u16 name = DownloadFileName(CanonicalAddress(address));
  if (name.empty()) return u16();
  const bool separated = !documentsFolder.empty() && documentsFolder.back() == u'\\';
  return documentsFolder + (separated ? u"" : u"\\") + name;
}

u16 PictureTargetPath(const u16& documentsFolder, const u16& address) {
  const u16 path = DownloadTargetPath(documentsFolder, address);
  return !path.empty() && KindOfAddress(path) == WebFileKind::kPicture ? path : u16();
}

CHTTPDownloadingDlg::CHTTPDownloadingDlg(HWND parent, HINSTANCE instance, const u16& address, const u16& path,
                                         Downloader download)
    : ApiDialog(IDD_DOWNLOADING, parent, instance), address_(address), path_(path), download_(std::move(download)) {}

CHTTPDownloadingDlg::~CHTTPDownloadingDlg() { StopWorker(); }

BOOL CHTTPDownloadingDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  SendDlgItemMessageW(window_, IDC_DOWNLOAD_PROGRESS, PBM_SETRANGE32, 0, 100);
  SendDlgItemMessageW(window_, IDC_DOWNLOAD_PROGRESS, PBM_SETPOS, 0, 0);
  StartWorker();
  return TRUE;
}

// The worker sees only copies and the stop flag, and reaches the dialog by posting to its
// windows: the bar's position as it goes, the result at the end.
void CHTTPDownloadingDlg::StartWorker() {
  const HWND dialog = window_;
  const HWND bar = GetDlgItem(window_, IDC_DOWNLOAD_PROGRESS);
  try {
    worker_ = std::thread([this, dialog, bar] {
      int shown = -1;
      const DownloadResult result =
          download_ ? download_(address_, path_, stop_,
                                [bar, &shown](int percent) {
                                  if (percent == shown) return;
                                  shown = percent;
                                  PostMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
                                })
                    : DownloadResult::kFailed;
      PostMessageW(dialog, kMsgFinished, static_cast<WPARAM>(result), 0);
    });
  } catch (const std::system_error&) {
    PostMessageW(window_, kMsgFinished, static_cast<WPARAM>(DownloadResult::kFailed), 0);
  }
}

// Asks the worker to stop and waits for it: the copy looks at the flag between two pieces.
void CHTTPDownloadingDlg::StopWorker() {
  stop_.store(true);
  if (worker_.joinable()) worker_.join();
}

void CHTTPDownloadingDlg::OnFinished(DownloadResult result) {
  if (worker_.joinable()) worker_.join();  // it has posted its last message
  result_ = result;
  finished_ = true;
  if (asking_) return;  // the open question ends the dialog once it is answered
  EndWithResult();
}

void CHTTPDownloadingDlg::EndWithResult() { EndDialog(result_ == DownloadResult::kDone ? IDOK : IDCANCEL); }

// The copy stops only when the question is answered "Yes"; the dialog then waits for the
// worker's end, which may also come while the question is open.
void CHTTPDownloadingDlg::OnCancel() {
  if (finished_ || asking_) return;
  asking_ = true;
  const int answer =
      MessageBoxW(window_, L"Do you want to stop downloading?", L"Warning", MB_YESNO | MB_ICONQUESTION);
  asking_ = false;
  if (finished_) {
    EndWithResult();
    return;
  }
  if (answer == IDYES) stop_.store(true);
}

BOOL CHTTPDownloadingDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDCANCEL:
    case kCmdClose: OnCancel(); return TRUE;
    case IDOK: return TRUE;  // Return must not end the box while the copy runs
  }
  return ApiDialog::OnCommand(wParam, lParam);
}

LRESULT CHTTPDownloadingDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgFinished: OnFinished(static_cast<DownloadResult>(wParam)); return 0;
    case WM_CLOSE: OnCancel(); return 0;
    case WM_DESTROY: StopWorker(); break;  // the box never goes before its worker
  }
  return ApiDialog::WindowProc(message, wParam, lParam);
}

}  // namespace crv
