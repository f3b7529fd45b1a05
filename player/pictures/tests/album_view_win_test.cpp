// The album window on the real platform (Wine): thumbnails made in the background while the
// window thread keeps answering, the loader's reports through the parent, tap-and-hold and
// the pop-up menu, the album commands, and the manual reorder dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/base/bytes.h"
#include "player/base/tests/message_pump.h"
#include "player/base/win16.h"
#include "player/media/source_state.h"
#include "player/pictures/album_view.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/reorder_thumb_dlg.h"
#include "player/resources/resource_ids.h"

using namespace crv;
using testing_support::PumpFor;
using testing_support::PumpUntil;

namespace {

constexpr UINT kMsgPing = WM_APP + 1;
constexpr DWORD kLoadTimeoutMs = 30000;

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

// A 24-bit BMP of width x height with a pattern in it.
std::vector<uint8_t> Bmp(int width, int height) {
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(height);
  std::vector<uint8_t> b(54 + image);
  b[0] = 'B';
  b[1] = 'M';
  PutLe32(&b[2], 54 + image);
  PutLe32(&b[10], 54);
  PutLe32(&b[14], 40);
  PutLe32(&b[18], static_cast<uint32_t>(width));
  PutLe32(&b[22], static_cast<uint32_t>(height));
  PutLe16(&b[26], 1);
  PutLe16(&b[28], 24);
  PutLe32(&b[34], image);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &b[54 + y * row + x * 3];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x ^ y);
    }
  return b;
}

// A plug-in reader for ".gate" pictures that holds the loading thread until the test opens
// the gate (or ten seconds pass, or loading is aborted), then reports bad data. It makes
// "the thread is still busy" a fact of the test rather than of the machine's speed.
HANDLE Gate() {
  static HANDLE gate = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  return gate;
}
const RFormatEntry kGateRows[] = {{u"Gated Picture", u"gate", u"gate\0", 0}, {nullptr, nullptr, nullptr, 0}};
uint32_t GateVersion() { return kReaderPluginVersion; }
const RFormatEntry* GateFormats() { return kGateRows; }
int32_t GateLoad(RFileHandle, tagRDIBIMG*, uint32_t, uint32_t) {
  WaitForSingleObject(Gate(), 10000);
  return kResultBadData;
}
void GateDelete(tagRDIBIMG*, void*) {}
void* GateAbort() {
  SetEvent(Gate());
  return nullptr;
}

class GateLoader : public ReaderPluginLoader {
 public:
  std::vector<std::u16string> Candidates() override { return {u"RImgGate.dll"}; }
  void* Load(const std::u16string&) override { return this; }
  void* Find(void*, const char* name) override {
    const std::string n = name;
    if (n == "RGetVersion") return reinterpret_cast<void*>(&GateVersion);
    if (n == "RGetSupportedFormats") return reinterpret_cast<void*>(&GateFormats);
    if (n == "RLoadImage") return reinterpret_cast<void*>(&GateLoad);
    if (n == "RDeleteImage") return reinterpret_cast<void*>(&GateDelete);
    if (n == "RAbortLoading") return reinterpret_cast<void*>(&GateAbort);
    return nullptr;
  }
  void Release(void*) override {}
};
GateLoader gateLoader;

// A fresh folder under the temporary folder, removed with its files.
class TestFolder {
 public:
  TestFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"crv-album-view-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TestFolder() {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(path_.c_str());
  }
  void Write(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    const std::wstring file = path_ + L"\\" + name;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    files_.push_back(file);
  }
  u16 Path() const { return U(path_.c_str()); }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

// The frame's part: hands 0x46A back to the view and keeps what reaches it.
struct Host {
  AlbumView* view = nullptr;
  int reports = 0;
  std::vector<UINT> commands;
  bool pinged = false;
  bool loadingWhenPinged = false;
};
Host host;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgAlbumThumbnails:
      if (lParam == kThumbnailMade) ++host.reports;
      if (host.view) host.view->StartThumbnails(static_cast<int32_t>(wParam), lParam);
      return 0;
    case WM_COMMAND: host.commands.push_back(LOWORD(wParam)); return 0;
    case kMsgPing:
      host.pinged = true;
      host.loadingWhenPinged = host.view && host.view->Loading();
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateHost() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = Self();
    wc.lpszClassName = L"CRV_ALBUM_TEST_HOST";
    registered = RegisterClassW(&wc) != 0;
  }
  return CreateWindowExW(0, L"CRV_ALBUM_TEST_HOST", L"album", WS_POPUP | WS_VISIBLE, 0, 0, 240, 268, nullptr, nullptr,
                         Self(), nullptr);
}

LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

POINT CentreOf(const AlbumGrid& grid, int32_t index) {
  const RRect r = grid.CellRect(index);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class AlbumViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPictureSources();
    SetMediaMode(false);
    registry_.Build();
    host = Host();
    SetEvent(Gate());
    hostWindow_ = CreateHost();
    ASSERT_NE(nullptr, hostWindow_);
  }
  void TearDown() override {
    SetEvent(Gate());
    host.view = nullptr;
    DestroyWindow(hostWindow_);
  }
  // The folder's pictures as an album, sorted by name.
  void Fill(std::initializer_list<std::pair<const wchar_t*, std::vector<uint8_t>>> files) {
    for (const auto& file : files) folder_.Write(file.first, file.second);
    ASSERT_EQ(static_cast<int32_t>(files.size()), album_.AddPath(folder_.Path(), false, false));
  }
  template <class View>
  void Open(View& view) {
    host.view = &view;
    RECT client;
    GetClientRect(hostWindow_, &client);
    ASSERT_TRUE(view.Create(hostWindow_, client, Self()));
  }
  bool AllDone() {
    std::lock_guard<AlbumLock> hold(album_.Lock());
    for (const auto& item : album_.Items())
      if (ThumbnailLoader::NeedsThumbnail(*item)) return false;
    return true;
  }
  std::vector<u16> Names() const {
    std::vector<u16> names;
    for (const auto& item : album_.Items()) names.push_back(item->FileName());
    return names;
  }

  ReaderRegistry registry_{&gateLoader};
  TestFolder folder_;
  PictureAlbum album_{registry_};
  HWND hostWindow_ = nullptr;
};

// A view whose pop-up menu is answered by the test: it records the menu's state and picks
// the command it is told to.
class ScriptedView : public AlbumView {
 public:
  using AlbumView::AlbumView;
  UINT answer = 0;
  int shown = 0;
  bool viewEnabled = false;
  bool deleteEnabled = false;
  bool addEnabled = false;
  bool sizeTicked = false;

 protected:
  UINT TrackAlbumMenu(HMENU popup, POINT) override {
    ++shown;
    viewEnabled = !(GetMenuState(popup, ID_VIEW_IMAGE, MF_BYCOMMAND) & MF_GRAYED);
    deleteEnabled = !(GetMenuState(popup, ID_DELETE_IMAGE, MF_BYCOMMAND) & MF_GRAYED);
    addEnabled = !(GetMenuState(popup, ID_ADD_IMAGE, MF_BYCOMMAND) & MF_GRAYED);
    sizeTicked = (GetMenuState(popup, ID_SORT_BY_SIZE, MF_BYCOMMAND) & MF_CHECKED) != 0;
    return answer;
  }
};

AlbumViewOptions InWindowThread() {
  AlbumViewOptions options;
  options.notLoadInBackground = true;  // no thread: the cells load as they are drawn
  return options;
}

}  // namespace

// The thread makes every thumbnail (a picture it cannot read is marked failed) and reports
// each through the parent, while a message posted to the window thread is answered at once:
// the gated picture keeps the thread busy until the answer has been seen.
TEST_F(AlbumViewTest, ThumbnailsArriveWhileTheWindowThreadAnswers) {
  Fill({{L"0large.bmp", Bmp(2000, 1500)},
        {L"a.bmp", Bmp(40, 30)},
        {L"b.bmp", Bmp(30, 40)},
        {L"c.bmp", Bmp(300, 200)},
        {L"z.bmp", {'B', 'M', 1, 2, 3}},
        {L"zz.gate", std::vector<uint8_t>(64, 0)}});
  ResetEvent(Gate());
  AlbumView view(album_, AlbumViewOptions(), registry_);
  Open(view);
  EXPECT_TRUE(view.Loading());
  PostMessageW(hostWindow_, kMsgPing, 0, 0);
  ASSERT_TRUE(PumpUntil([] { return host.pinged; }, 5000));
  EXPECT_TRUE(host.loadingWhenPinged) << "answered while the thread was loading";
  SetEvent(Gate());

  ASSERT_TRUE(PumpUntil([this] { return AllDone(); }, kLoadTimeoutMs));
  ASSERT_TRUE(PumpUntil([&] { return !view.Loading() && host.reports == 6; }, 5000)) << host.reports;
  const FitSize box = view.Grid().ThumbnailBox(GetSystemMetrics(SM_CXVSCROLL), 0);
  for (int32_t i = 0; i < 4; ++i) {
    const AlbumItem& item = *album_.Item(i);
    ASSERT_FALSE(item.Thumbnail().Empty()) << i;
    EXPECT_LE(item.Thumbnail().Info()->width, box.width) << i;
    EXPECT_LE(item.Thumbnail().Info()->height, box.height) << i;
    EXPECT_NE(kViewStateUnset, item.Fixed().viewFlags) << i;
  }
  EXPECT_EQ(40, album_.Item(1)->Thumbnail().Info()->width) << "small pictures are not enlarged";
  EXPECT_EQ(kItemFailed, album_.Item(4)->LoadState());
  EXPECT_NE(kResultOk, album_.Item(4)->LastResult());
  EXPECT_EQ(kItemFailed, album_.Item(5)->LoadState());

  // Reload makes them all again, the failed one included.
  ASSERT_TRUE(view.Reload());
  ASSERT_TRUE(PumpUntil([&] { return !view.Loading(); }, kLoadTimeoutMs));
  EXPECT_TRUE(AllDone());
  EXPECT_FALSE(album_.Item(0)->Thumbnail().Empty());
  EXPECT_EQ(kItemFailed, album_.Item(4)->LoadState());
  EXPECT_EQ(kResultOk, album_.Item(0)->LastResult());
}

// Holding the stylus on a thumbnail opens the menu for it; on empty space the item commands
// are gray and the frame's commands still reach the frame. A tap, or a press that moves,
// opens nothing.
TEST_F(AlbumViewTest, TapAndHoldOpensTheMenuAtTheStylus) {
  Fill({{L"a.bmp", Bmp(8, 8)}, {L"b.bmp", Bmp(9, 9)}, {L"c.bmp", Bmp(10, 10)}});
  album_.Sort(kAlbumSortBySize, 0);
  ScriptedView view(album_, InWindowThread(), registry_);
  Open(view);
  ASSERT_GE(view.Grid().Columns(), 3);

  view.answer = ID_DELETE_IMAGE;
  SendMessageW(view.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(CentreOf(view.Grid(), 1)));
  EXPECT_EQ(1, view.CurrentIndex()) << "the press selects";
  ASSERT_TRUE(PumpUntil([&] { return view.shown == 1; }, 3000));
  SendMessageW(view.Handle(), WM_LBUTTONUP, 0, At(CentreOf(view.Grid(), 1)));
  EXPECT_TRUE(view.viewEnabled);
  EXPECT_TRUE(view.deleteEnabled);
  EXPECT_TRUE(view.sizeTicked);
  ASSERT_EQ(2, album_.Count());
  EXPECT_EQ((std::vector<u16>{u"a.bmp", u"c.bmp"}), Names());
  EXPECT_EQ(0, view.CurrentIndex()) << "the selection moves to the item before";

  view.answer = ID_ADD_IMAGE;
  SendMessageW(view.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(CentreOf(view.Grid(), 2)));  // an empty cell
  ASSERT_TRUE(PumpUntil([&] { return view.shown == 2 && !host.commands.empty(); }, 3000));
  SendMessageW(view.Handle(), WM_LBUTTONUP, 0, 0);
  EXPECT_FALSE(view.viewEnabled);
  EXPECT_FALSE(view.deleteEnabled);
  EXPECT_TRUE(view.addEnabled);
  EXPECT_EQ(std::vector<UINT>{ID_ADD_IMAGE}, host.commands);
  EXPECT_EQ(0, view.CurrentIndex());

  SendMessageW(view.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(CentreOf(view.Grid(), 1)));
  SendMessageW(view.Handle(), WM_LBUTTONUP, 0, At(CentreOf(view.Grid(), 1)));
  POINT moved = CentreOf(view.Grid(), 0);
  SendMessageW(view.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(moved));
  moved.x += kAlbumHoldSlop + 1;
  SendMessageW(view.Handle(), WM_MOUSEMOVE, MK_LBUTTON, At(moved));
  PumpFor(2 * kAlbumHoldMs);
  SendMessageW(view.Handle(), WM_LBUTTONUP, 0, At(moved));
  EXPECT_EQ(2, view.shown) << "neither a tap nor a drag is a hold";
  EXPECT_EQ(0, view.CurrentIndex()) << "the last press was on item 0";
}

// The album's commands act on the current item; the frame's are passed to the parent.
TEST_F(AlbumViewTest, CommandsActOnTheCurrentItem) {
  Fill({{L"a.bmp", Bmp(30, 30)},
        {L"b.bmp", Bmp(10, 10)},
        {L"c.bmp", Bmp(20, 20)},
        {L"d.bmp", Bmp(5, 5)},
        {L"e.bmp", Bmp(40, 40)}});
  ScriptedView view(album_, InWindowThread(), registry_);
  Open(view);

  view.SetCurrent(0);
  EXPECT_TRUE(view.HandleCommand(ID_MOVE_LEFT)) << "beeps";
  EXPECT_EQ((std::vector<u16>{u"a.bmp", u"b.bmp", u"c.bmp", u"d.bmp", u"e.bmp"}), Names());
  EXPECT_TRUE(view.HandleCommand(ID_MOVE_RIGHT));
  EXPECT_EQ((std::vector<u16>{u"b.bmp", u"a.bmp", u"c.bmp", u"d.bmp", u"e.bmp"}), Names());
  EXPECT_EQ(1, view.CurrentIndex()) << "the moved item stays current";

  EXPECT_TRUE(view.HandleCommand(ID_SORT_BY_SIZE));
  EXPECT_EQ((std::vector<u16>{u"d.bmp", u"b.bmp", u"c.bmp", u"a.bmp", u"e.bmp"}), Names());
  EXPECT_EQ(3, view.CurrentIndex());
  EXPECT_EQ(kAlbumSortBySize, album_.SortOrder());

  // Up and Down go a whole row (three or four columns, by the test screen's shape).
  view.SetCurrent(0);
  view.MoveSelection(1);
  EXPECT_EQ(view.Grid().Columns(), view.CurrentIndex());
  view.MoveSelection(-1);
  EXPECT_EQ(0, view.CurrentIndex());
  view.MoveSelection(-1);
  EXPECT_EQ(0, view.CurrentIndex());

  EXPECT_TRUE(view.HandleCommand(ID_DELETE_IMAGE));
  EXPECT_EQ((std::vector<u16>{u"b.bmp", u"c.bmp", u"a.bmp", u"e.bmp"}), Names());
  EXPECT_EQ(0, view.CurrentIndex()) << "deleting the first keeps the selection on the first";

  EXPECT_FALSE(view.HandleCommand(ID_VIEW_IMAGE)) << "the frame's own";
  SendMessageW(view.Handle(), WM_COMMAND, MAKEWPARAM(ID_VIEW_IMAGE, 0), 0);
  SendMessageW(view.Handle(), WM_COMMAND, MAKEWPARAM(ID_NEW, 0), 0);
  PumpUntil([] { return host.commands.size() == 2; }, 2000);
  EXPECT_EQ((std::vector<UINT>{ID_VIEW_IMAGE, ID_NEW}), host.commands);
}

namespace {

// Runs the reorder dialog with a script of commands posted once it is up.
class ScriptedReorder : public CReorderThumbDlg {
 public:
  ScriptedReorder(PictureAlbum& album, std::vector<WPARAM> script)
      : CReorderThumbDlg(album, nullptr, Self()), script_(std::move(script)) {}
  int32_t select = -1;
  bool upEnabledAtStart = true;

  BOOL OnInitDialog() override {
    CReorderThumbDlg::OnInitDialog();
    upEnabledAtStart = IsWindowEnabled(GetDlgItem(window_, IDC_REORDER_UP)) != FALSE;
    if (select >= 0) SendMessageW(List(), LB_SETCURSEL, static_cast<WPARAM>(select), 0);
    for (WPARAM command : script_) PostMessageW(window_, WM_COMMAND, command, 0);
    return TRUE;
  }

 private:
  std::vector<WPARAM> script_;
};

}  // namespace

// Done writes the new order back with the current item still current; Cancel leaves the
// album as it was, whatever was moved or sorted.
TEST_F(AlbumViewTest, TheReorderDialogChangesTheAlbumOnlyOnDone) {
  Fill({{L"a.bmp", Bmp(30, 30)}, {L"b.bmp", Bmp(10, 10)}, {L"c.bmp", Bmp(20, 20)}});
  album_.SetCurrent(0);

  ScriptedReorder cancelled(album_, {ID_SORT_BY_SIZE, IDC_REORDER_DOWN, IDCANCEL});
  cancelled.select = 0;
  EXPECT_EQ(IDCANCEL, cancelled.DoModal());
  EXPECT_FALSE(cancelled.upEnabledAtStart) << "nothing is selected yet";
  EXPECT_EQ((std::vector<u16>{u"a.bmp", u"b.bmp", u"c.bmp"}), Names());

  ScriptedReorder done(album_, {IDC_REORDER_DOWN, IDC_REORDER_DOWN, IDC_REORDER_DOWN, IDOK});
  done.select = 0;
  EXPECT_EQ(IDOK, done.DoModal());
  EXPECT_EQ((std::vector<u16>{u"b.bmp", u"c.bmp", u"a.bmp"}), Names()) << "the third Down beeps at the end";
  EXPECT_EQ(2, album_.Current());
  EXPECT_EQ(u"a.bmp", album_.CurrentItem()->FileName());
}
