// The Win32 front end in-process: Form1's layout and texts, the open command
// through a fake dialog and the real core, and long runs with Esc and close.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dpi.h"
#include "end_process.h"
#include "fakes.h"
#include "form1.h"
#include "form1_test_base.h"
#include "open_command.h"
#include "test_support.h"
#include "texts.h"
#include "utf16.h"

namespace linksift {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testing_support;

class Form1Test : public Form1TestBase<Form1> {
 protected:
  void SetUp() override {
    Form1TestBase::SetUp();
    try {
      form_->Create(::GetModuleHandleW(nullptr));
    } catch (const std::exception& e) {
      GTEST_SKIP() << "no window without a display: " << e.what();
    }
  }
  void TearDown() override {
    form_.reset();
    Form1TestBase::TearDown();
  }

  HWND Control(int id) const { return ::GetDlgItem(form_->hwnd(), id); }
  // The window itself stays hidden in these tests, so IsWindowVisible would say no.
  bool Shown(int id) const {
    return (::GetWindowLongPtrW(Control(id), GWL_STYLE) & WS_VISIBLE) != 0;
  }

  // Runs the window's messages, as the program's loop does, until `done`.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (form_->PreTranslate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
  }

  void Press() { ::SendMessageW(Control(Form1::kCommand1Id), BM_CLICK, 0, 0); }
  // A run on a pipe, over an old urls.txt, that lasts as long as the test likes.
  void PressOnPipe() {
    WriteFile(dir_ / "urls.txt", "old\r\n");
    pipe_ = std::make_unique<PipeWriter>();
    dialog_->answer = pipe_->path();
    Press();
    pipe_->Send("http://a\r\n");
  }
  void ExpectOldOutput() {
    EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "old\r\n");
    EXPECT_EQ(CountTemporaries(dir_), 0u);
  }
  bool RunEnds() {
    return PumpUntil([&] { return !form_->running(); }, 10s);
  }
  void PressKey(HWND target, WPARAM key) {
    ::PostMessageW(target, WM_KEYDOWN, key, 0);
    ::PostMessageW(target, WM_KEYUP, key, 0);
    PumpUntil([] { return false; }, 50ms);
  }

  // As the controller does it.
  void SetLabelText(const std::string& text) {
    static_cast<TextLabel&>(const_cast<StaticLabel&>(form_->label())).SetText(text);
  }
  std::string OutputPath() const { return Narrow(dir_.native()) + "\\urls.txt"; }

  std::unique_ptr<PipeWriter> pipe_;
};

RECT ClientRectOf(HWND control) {
  RECT rect;
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The description's twips at 96 dpi: 15 twips to the pixel.
TEST_F(Form1Test, HasTheControlsAtTheirPlaces) {
  if (WindowDpi(form_->hwnd()) != 96) GTEST_SKIP() << "sizes are checked at 96 dpi";
  RECT client;
  ::GetClientRect(form_->hwnd(), &client);
  EXPECT_EQ(client.right, 360);
  EXPECT_EQ(client.bottom, 166);
  struct Expected {
    int id;
    RECT rect;
  };
  for (const Expected& c : {Expected{Form1::kCommand1Id, {48, 20, 48 + 257, 20 + 21}},
                            Expected{Form1::kLabel1Id, {12, 48, 12 + 337, 48 + 113}}}) {
    const RECT rect = ClientRectOf(Control(c.id));
    EXPECT_EQ(rect.left, c.rect.left) << c.id;
    EXPECT_EQ(rect.top, c.rect.top) << c.id;
    EXPECT_EQ(rect.right, c.rect.right) << c.id;
    EXPECT_EQ(rect.bottom, c.rect.bottom) << c.id;
  }
  EXPECT_EQ(WindowText(form_->hwnd()), L"Linksift");
  EXPECT_EQ(WindowText(Control(Form1::kCommand1Id)), L"Открыть файл...");
  EXPECT_EQ(::GetFocus(), Control(Form1::kCommand1Id));
  EXPECT_FALSE(Shown(Form1::kProgressId));
}

TEST_F(Form1Test, ShowsTheWholeInstructionText) {
  EXPECT_EQ(form_->label().Text(), BuildInstructionText());
  const HWND label = Control(Form1::kLabel1Id);
  // Plain text that can be selected, not changed: an '&' in a path is no mnemonic.
  wchar_t kind[16] = {};
  ::GetClassNameW(label, kind, 16);
  EXPECT_EQ(std::wstring(kind), L"Edit");
  EXPECT_NE(::GetWindowLongPtrW(label, GWL_STYLE) & ES_READONLY, 0);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
  EXPECT_TRUE(form_->label().Fits(BuildInstructionText(), font));
  std::string long_path(120, 'W');
  EXPECT_TRUE(form_->label().Fits(BuildResultText(UINT64_MAX, long_path), font));
}

LONG FontHeight(HWND control) {
  LOGFONTW font = {};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
  return std::abs(font.lfHeight);
}

// However long the path: smaller letters, but four fifths of the size at
// least, and a scroll bar for what is longer still; the instructions keep
// their size.
TEST_F(Form1Test, AnyResultShowsInFullOrScrolls) {
  const HWND label = Control(Form1::kLabel1Id);
  const LONG fitted = FontHeight(label);
  for (const std::string shape : {"W", "a\\", "Ш", "ab cd\\"}) {
    for (std::size_t length : {120u, 387u, 1000u}) {
      std::string path = "C:\\";
      while (path.size() < length) path += shape;
      const std::string text = BuildResultText(UINT64_MAX, path);
      SetLabelText(text);
      const auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
      const bool scrolls = (::GetWindowLongPtrW(label, GWL_STYLE) & WS_VSCROLL) != 0;
      EXPECT_TRUE(scrolls || form_->label().Fits(text, font)) << length << " " << shape;
      EXPECT_EQ(WindowText(label), Widen(text)) << length << " " << shape;
      EXPECT_LE(FontHeight(label), fitted);
      EXPECT_GE(FontHeight(label), fitted * 4 / 5) << length << " " << shape;
    }
  }
  EXPECT_NE(::GetWindowLongPtrW(label, GWL_STYLE) & WS_VSCROLL, 0) << "the longest path scrolls";
  EXPECT_LT(FontHeight(label), fitted) << "the longest path needs smaller letters";
  SetLabelText(BuildInstructionText());
  EXPECT_EQ(FontHeight(label), fitted);
  EXPECT_EQ(::GetWindowLongPtrW(label, GWL_STYLE) & WS_VSCROLL, 0);
}

TEST_F(Form1Test, TheResultCanBeSelectedAndCopied) {
  const std::string text =
      BuildResultText(5, "C:\\Данные\\" + std::string(300, 'x') + "\\urls.txt");
  SetLabelText(text);
  const HWND label = Control(Form1::kLabel1Id);
  ::SendMessageW(label, EM_SETSEL, 0, -1);
  ::SendMessageW(label, WM_COPY, 0, 0);
  ASSERT_TRUE(::OpenClipboard(form_->hwnd()));
  const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  const std::wstring copied =
      data != nullptr ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
  if (data != nullptr) ::GlobalUnlock(data);
  ::CloseClipboard();
  EXPECT_EQ(copied, Widen(text));
  // Read only: typing changes nothing.
  ::SendMessageW(label, WM_CHAR, L'z', 0);
  EXPECT_EQ(WindowText(label), Widen(text));
}

TEST_F(Form1Test, TabGoesFromCommand1ToTheLabelAndEnterStillPressesCommand1) {
  const HWND label = Control(Form1::kLabel1Id);
  ::ShowWindow(form_->hwnd(), SW_SHOW);
  ::SetForegroundWindow(form_->hwnd());
  ::SetFocus(Control(Form1::kCommand1Id));
  PressKey(Control(Form1::kCommand1Id), VK_TAB);
  EXPECT_EQ(::GetFocus(), label);
  PressKey(label, VK_TAB);
  EXPECT_EQ(::GetFocus(), Control(Form1::kCommand1Id)) << "only two stops";
  PressKey(Control(Form1::kCommand1Id), VK_TAB);
  EXPECT_EQ(::GetFocus(), label);
  PressKey(label, VK_RETURN);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 1);
}

std::vector<std::pair<HWND, DWORD>>* announced = nullptr;
void CALLBACK RecordAnnouncement(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                                 DWORD, DWORD) {
  if (announced != nullptr && object == OBJID_CLIENT && child == CHILDID_SELF) {
    announced->emplace_back(window, event);
  }
}

// Screen readers call the controls by their texts and hear of a new result.
TEST_F(Form1Test, ControlsHaveNamesAndANewResultIsAnnounced) {
  EXPECT_EQ(WindowText(Control(Form1::kProgressId)), L"Ход обработки");
  std::vector<std::pair<HWND, DWORD>> events;
  announced = &events;
  const HWINEVENTHOOK hook =
      ::SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                        &RecordAnnouncement, ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  WriteFile(dir_ / "in.txt", "http://a\r\n");
  dialog_->answer = dir_ / "in.txt";
  Press();
  ASSERT_TRUE(RunEnds());
  const std::pair<HWND, DWORD> value_changed = {Control(Form1::kLabel1Id),
                                                EVENT_OBJECT_VALUECHANGE};
  PumpUntil([&] { return std::count(events.begin(), events.end(), value_changed) > 0; }, 2s);
  ::UnhookWinEvent(hook);
  announced = nullptr;
  EXPECT_EQ(std::count(events.begin(), events.end(), value_changed), 1);
}

TEST_F(Form1Test, ARunShowsTheCountAndThePathItWrote) {
  WriteFile(dir_ / "in.txt", "see http://a, x\r\nnone\r\nhttp://b\r\n");
  dialog_->answer = dir_ / "in.txt";
  Press();
  ASSERT_TRUE(RunEnds());
  EXPECT_EQ(log_, CallLog{kOpenDialogShown});
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "http://a\r\nhttp://b\r\n");
  EXPECT_EQ(form_->label().Text(), BuildResultText(2, OutputPath()));
  EXPECT_TRUE(errors_.empty());

  // A second press replaces both.
  WriteFile(dir_ / "other.txt", "nothing\r\n");
  dialog_->answer = dir_ / "other.txt";
  Press();
  ASSERT_TRUE(RunEnds());
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "");
  EXPECT_EQ(form_->label().Text(), BuildResultText(0, OutputPath()));
  EXPECT_TRUE(::IsWindowEnabled(Control(Form1::kCommand1Id)));
}

// The label's menu while it is up: each item's text and whether it can be
// chosen; then the menu is closed unchosen.
std::vector<std::pair<std::wstring, bool>>* menu_items = nullptr;
void CALLBACK ReadMenu(HWND, UINT, UINT_PTR, DWORD) {
  const HWND popup = ::FindWindowW(L"#32768", nullptr);
  if (popup == nullptr || menu_items == nullptr) return;
  const auto menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    menu_items->emplace_back(text, (state & (MF_GRAYED | MF_DISABLED)) == 0);
  }
  ::EndMenu();
}

TEST_F(Form1Test, TheResultsPathIsALinkToUrlsTxt) {
  const HWND label = Control(Form1::kLabel1Id);
  ::ShowWindow(form_->hwnd(), SW_SHOW);
  WriteFile(dir_ / "in.txt", "http://a\r\n");
  dialog_->answer = dir_ / "in.txt";
  Press();
  ASSERT_TRUE(RunEnds());
  ASSERT_TRUE(form_->label().HasLink());
  const std::string text = BuildResultText(1, OutputPath());
  const std::wstring shown = Widen(text);
  const auto [first, last] = *form_->label().LinkCharacters();
  EXPECT_EQ(shown.substr(first, last - first), Widen(OutputPath()));
  const std::string shown_in_folder = "ShowInFolder " + Narrow((dir_ / "urls.txt").native());

  log_.clear();
  ::SetFocus(label);
  PressKey(label, VK_RETURN);
  EXPECT_EQ(log_, CallLog{shown_in_folder}) << "Enter on the label";
  log_.clear();
  const LRESULT at = ::SendMessageW(label, EM_POSFROMCHAR, first + 2, 0);
  const LPARAM point = MAKELPARAM(LOWORD(at) + 1, HIWORD(at) + 2);
  ::SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, point);
  ::SendMessageW(label, WM_LBUTTONUP, 0, point);
  EXPECT_EQ(log_, CallLog{shown_in_folder}) << "a click on the path";

  std::vector<std::pair<std::wstring, bool>> items;
  menu_items = &items;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &ReadMenu);
  RECT corner = {};
  ::GetWindowRect(label, &corner);
  ::SendMessageW(label, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(label),
                 MAKELPARAM(corner.left + 5, corner.top + 5));
  ::KillTimer(nullptr, timer);
  menu_items = nullptr;
  const std::vector<std::pair<std::wstring, bool>> expected = {
      {L"Копировать", false}, {L"Открыть urls.txt", true}, {L"Показать в папке", true}};
  EXPECT_EQ(items, expected);

  // Plain text again: no link to follow, and Enter presses Command1.
  SetLabelText(BuildInstructionText());
  log_.clear();
  ::SetFocus(label);
  PressKey(label, VK_RETURN);
  EXPECT_EQ(log_, CallLog{kOpenDialogShown});
}

// What the shell hands a window when files are dropped on it; the window
// frees it with DragFinish.
HDROP MakeDrop(const std::vector<std::wstring>& files) {
  std::size_t chars = 1;  // the list ends with an empty name
  for (const std::wstring& file : files) chars += file.size() + 1;
  const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* name = reinterpret_cast<wchar_t*>(drop + 1);
  for (const std::wstring& file : files) {
    std::copy(file.begin(), file.end(), name);
    name += file.size() + 1;
  }
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(Form1Test, ADroppedFileRunsAsIfChosenTheFirstOfSeveral) {
  WriteFile(dir_ / "first.txt", "a http://a b\r\n");
  WriteFile(dir_ / "second.txt", "http://b\r\n");
  ::SendMessageW(form_->hwnd(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(
                     MakeDrop({(dir_ / "first.txt").wstring(), (dir_ / "second.txt").wstring()})),
                 0);
  ASSERT_TRUE(RunEnds());
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "http://a\r\n");
  EXPECT_EQ(form_->label().Text(), BuildResultText(1, OutputPath()));
  EXPECT_TRUE(log_.empty()) << "no dialog for a drop";
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Form1Test, EnterPressesTheButton) {
  PressKey(Control(Form1::kCommand1Id), VK_RETURN);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 1);
}

TEST_F(Form1Test, CancelledDialogChangesNothing) {
  Press();
  PumpUntil([] { return false; }, 100ms);
  EXPECT_EQ(form_->label().Text(), BuildInstructionText());
  EXPECT_FALSE(fs::exists(dir_ / "urls.txt"));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Form1Test, AFailureIsReportedAndTheWindowGoesOn) {
  WriteFile(dir_ / "urls.txt", "old\r\n");
  dialog_->answer = dir_ / L"нет такого.txt";
  Press();
  ASSERT_TRUE(RunEnds());
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("нет такого.txt"), std::string::npos) << errors_[0];
  EXPECT_EQ(form_->label().Text(), BuildInstructionText());
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "old\r\n");
  EXPECT_TRUE(::IsWindow(form_->hwnd()));
  EXPECT_TRUE(::IsWindowEnabled(Control(Form1::kCommand1Id)));
}

// While a run lasts the bar stands in the label's place, along its top edge.
TEST_F(Form1Test, ALongRunShowsTheBarInPlaceOfTheLabelAndEscCancelsIt) {
  PressOnPipe();
  EXPECT_TRUE(form_->running());
  EXPECT_FALSE(::IsWindowEnabled(Control(Form1::kCommand1Id)));
  EXPECT_FALSE(Shown(Form1::kProgressId));
  // The window keeps answering, and the bar comes after the delay.
  EXPECT_TRUE(PumpUntil([&] { return Shown(Form1::kProgressId); }, 2s));
  EXPECT_FALSE(Shown(Form1::kLabel1Id));
  const RECT bar = ClientRectOf(Control(Form1::kProgressId));
  const RECT label = ClientRectOf(Control(Form1::kLabel1Id));
  const RECT button = ClientRectOf(Control(Form1::kCommand1Id));
  EXPECT_EQ(bar.left, label.left);
  EXPECT_EQ(bar.top, label.top);
  EXPECT_EQ(bar.bottom - bar.top, button.bottom - button.top);
  // The bar draws no text: how to cancel stands at its right, to the label's edge.
  ASSERT_TRUE(Shown(Form1::kCancelHintId));
  EXPECT_EQ(WindowText(Control(Form1::kCancelHintId)), L"Esc — отмена");
  const RECT hint = ClientRectOf(Control(Form1::kCancelHintId));
  EXPECT_LT(bar.right, hint.left);
  EXPECT_EQ(hint.right, label.right);
  EXPECT_EQ(hint.top, bar.top);
  Press();  // disabled: no second run
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 1);

  PressKey(form_->hwnd(), VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !form_->running(); }, 2s));
  EXPECT_EQ(form_->label().Text(), BuildCancelText());
  EXPECT_EQ(WindowText(Control(Form1::kLabel1Id)), Widen(BuildCancelText()));
  EXPECT_FALSE(form_->label().HasLink());
  EXPECT_TRUE(errors_.empty());
  ExpectOldOutput();
  EXPECT_FALSE(Shown(Form1::kProgressId));
  EXPECT_FALSE(Shown(Form1::kCancelHintId));
  EXPECT_TRUE(Shown(Form1::kLabel1Id));
  EXPECT_TRUE(::IsWindowEnabled(Control(Form1::kCommand1Id)));
}

TEST_F(Form1Test, ClosingDuringARunEndsItCleanly) {
  // A forced end of the process would end this program with status 0, a pass.
  static int forced_exits = 0;
  ReplaceEndProcessForTests([](int) { ++forced_exits; });
  PressOnPipe();
  const HWND window = form_->hwnd();
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  const bool closed = PumpUntil([&] { return !::IsWindow(window); }, 2s);
  ReplaceEndProcessForTests(nullptr);
  ASSERT_TRUE(closed);
  EXPECT_EQ(forced_exits, 0) << "the window gave up waiting and ended the process";
  ExpectOldOutput();
}

TEST(Utf16, RoundTripsEveryScript) {
  for (const std::string text :
       {"", "urls.txt", "Сформирован файл: C:\\Папка\\urls.txt", "日本 ω 🙂"}) {
    EXPECT_EQ(Narrow(Widen(text)), text);
  }
  EXPECT_EQ(PathFromUtf8("C:\\Папка\\urls.txt").wstring(), L"C:\\Папка\\urls.txt");
}

}  // namespace
}  // namespace linksift
