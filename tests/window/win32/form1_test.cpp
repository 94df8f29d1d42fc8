// The Win32 front end in-process: Form1 driven for the shared suite, and what
// it alone adds: an edit control for a label, the hint beside the bar, what
// screen readers hear.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dpi.h"
#include "fakes.h"
#include "form1.h"
#include "form1_suite.h"
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

PixelBox Box(const RECT& rect) {
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

LONG FontHeight(HWND control) {
  LOGFONTW font = {};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
  return std::abs(font.lfHeight);
}

// The label's menu while it is up: each item's text and whether it can be
// chosen; then the menu is closed unchosen.
MenuItems* menu_items = nullptr;
void CALLBACK ReadMenu(HWND, UINT, UINT_PTR, DWORD) {
  const HWND popup = ::FindWindowW(L"#32768", nullptr);
  if (popup == nullptr || menu_items == nullptr) return;
  const auto menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    menu_items->emplace_back(Narrow(text), (state & (MF_GRAYED | MF_DISABLED)) == 0);
  }
  ::EndMenu();
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

// Form1 over a fake dialog and a recorded error seam, writing into a
// temporary program directory, driven as the shared suite asks.
class Form1Test : public Form1TestBase<Form1> {
 public:
  static constexpr std::string_view kCopiedLineEnd = "\r\n";

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
  HWND Label1() const { return Control(Form1::kLabel1Id); }
  // Whether the control is meant to show: the window itself may be hidden.
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

  void Show() {
    ::ShowWindow(form_->hwnd(), SW_SHOW);
    ::SetForegroundWindow(form_->hwnd());
    ::SetFocus(Control(Form1::kCommand1Id));
  }
  bool AtDefaultDpi() const { return WindowDpi(form_->hwnd()) == 96; }
  PixelBox ClientBox() const {
    RECT client;
    ::GetClientRect(form_->hwnd(), &client);
    return Box(client);
  }
  PixelBox Command1Box() const { return Box(ClientRectOf(Control(Form1::kCommand1Id))); }
  PixelBox Label1Box() const { return Box(ClientRectOf(Label1())); }
  PixelBox BarBox() const { return Box(ClientRectOf(Control(Form1::kProgressId))); }
  std::string Title() const { return Narrow(WindowText(form_->hwnd())); }
  std::string Command1Text() const { return Narrow(WindowText(Control(Form1::kCommand1Id))); }
  FocusOn Focused() const {
    const HWND focused = ::GetFocus();
    if (focused == Control(Form1::kCommand1Id)) return FocusOn::kCommand1;
    return focused == Label1() ? FocusOn::kLabel1 : FocusOn::kOther;
  }
  void PressKey(Key key) {
    const WPARAM codes[] = {VK_TAB, VK_RETURN, VK_SPACE, VK_ESCAPE};
    const HWND target = key == Key::kEscape ? form_->hwnd() : ::GetFocus();
    ::PostMessageW(target, WM_KEYDOWN, codes[static_cast<int>(key)], 0);
    ::PostMessageW(target, WM_KEYUP, codes[static_cast<int>(key)], 0);
    Settle();
  }
  void Press() { ::SendMessageW(Control(Form1::kCommand1Id), BM_CLICK, 0, 0); }
  bool Command1Enabled() const { return ::IsWindowEnabled(Control(Form1::kCommand1Id)) != FALSE; }
  bool BarShown() const { return Shown(Form1::kProgressId); }
  bool LabelShown() const { return Shown(Form1::kLabel1Id); }
  bool WaitUntil(const std::function<bool()>& done) { return PumpUntil(done, 10s); }
  void Settle() {
    PumpUntil([] { return false; }, 50ms);
  }
  LinkedLabel& Label() { return const_cast<StaticLabel&>(form_->label()); }
  int FontSize() const { return static_cast<int>(FontHeight(Label1())); }
  ShownText HowShown(const std::string& text) const {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(Label1(), WM_GETFONT, 0, 0));
    const bool scrolls = (::GetWindowLongPtrW(Label1(), GWL_STYLE) & WS_VSCROLL) != 0;
    return {(scrolls || form_->label().Fits(text, font)) && WindowText(Label1()) == Widen(text),
            scrolls};
  }
  std::string CopyAll() {
    ::SendMessageW(Label1(), EM_SETSEL, 0, -1);
    ::SendMessageW(Label1(), WM_COPY, 0, 0);
    if (!::OpenClipboard(form_->hwnd())) return "(no clipboard)";
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied =
        data != nullptr ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
    if (data != nullptr) ::GlobalUnlock(data);
    ::CloseClipboard();
    return Narrow(copied);
  }
  bool HasSelection() const {
    DWORD from = 0, to = 0;
    ::SendMessageW(Label1(), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                   reinterpret_cast<LPARAM>(&to));
    return from != to;
  }
  void ClickOnLink() {
    const LRESULT at =
        ::SendMessageW(Label1(), EM_POSFROMCHAR, form_->label().LinkCharacters()->first + 2, 0);
    const LPARAM point = MAKELPARAM(LOWORD(at) + 1, HIWORD(at) + 2);
    ::SendMessageW(Label1(), WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(Label1(), WM_LBUTTONUP, 0, point);
  }
  MenuItems OpenMenu() {
    MenuItems items;
    menu_items = &items;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &ReadMenu);
    RECT corner = {};
    ::GetWindowRect(Label1(), &corner);
    ::SendMessageW(Label1(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Label1()),
                   MAKELPARAM(corner.left + 5, corner.top + 5));
    ::KillTimer(nullptr, timer);
    menu_items = nullptr;
    return items;
  }
  void Drop(const std::vector<fs::path>& files) {
    std::vector<std::wstring> names;
    for (const fs::path& file : files) names.push_back(file.wstring());
    ::SendMessageW(form_->hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names)), 0);
  }
  std::unique_ptr<PipeWriter> StartSlowRun(std::string_view line) {
    auto input = std::make_unique<PipeWriter>();
    dialog_->answer = input->path();
    Press();
    input->Send(line);  // once the run has opened the pipe
    return input;
  }
  bool CloseWindow() {
    const HWND window = form_->hwnd();
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return PumpUntil([&] { return !::IsWindow(window); }, 2s);
  }
  void ExpectTheRunGone(PipeWriter&) {}
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, Form1Suite, Form1Test);

TEST_F(Form1Test, TheLabelIsAReadOnlyEditThatFitsTheInstructionsAndLongestResult) {
  const HWND label = Label1();
  // Plain text that can be selected, not changed: an '&' in a path is no mnemonic.
  wchar_t kind[16] = {};
  ::GetClassNameW(label, kind, 16);
  EXPECT_EQ(std::wstring(kind), L"Edit");
  EXPECT_NE(::GetWindowLongPtrW(label, GWL_STYLE) & ES_READONLY, 0);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
  EXPECT_TRUE(form_->label().Fits(BuildInstructionText(), font));
  EXPECT_TRUE(form_->label().Fits(BuildResultText(UINT64_MAX, std::string(120, 'W')), font));
  // Typing changes nothing.
  const std::wstring before = WindowText(label);
  ::SendMessageW(label, WM_CHAR, L'z', 0);
  EXPECT_EQ(WindowText(label), before);
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
  ASSERT_TRUE(WaitUntil([&] { return Label().HasLink(); }));
  const std::pair<HWND, DWORD> value_changed = {Control(Form1::kLabel1Id),
                                                EVENT_OBJECT_VALUECHANGE};
  PumpUntil([&] { return std::count(events.begin(), events.end(), value_changed) > 0; }, 2s);
  ::UnhookWinEvent(hook);
  announced = nullptr;
  EXPECT_EQ(std::count(events.begin(), events.end(), value_changed), 1);
}

// The bar draws no text: how to cancel stands at its right, to the label's edge.
TEST_F(Form1Test, TheCancelHintStandsBesideTheBar) {
  const std::unique_ptr<PipeWriter> input = StartSlowRun("http://a\r\n");
  ASSERT_TRUE(WaitUntil([&] { return BarShown(); }));
  ASSERT_TRUE(Shown(Form1::kCancelHintId));
  EXPECT_EQ(WindowText(Control(Form1::kCancelHintId)), L"Esc — отмена");
  const RECT bar = ClientRectOf(Control(Form1::kProgressId));
  const RECT hint = ClientRectOf(Control(Form1::kCancelHintId));
  EXPECT_LT(bar.right, hint.left);
  EXPECT_EQ(hint.right, ClientRectOf(Label1()).right);
  EXPECT_EQ(hint.top, bar.top);
  PressKey(Key::kEscape);
  ASSERT_TRUE(WaitUntil([&] { return Command1Enabled(); }));
  EXPECT_FALSE(Shown(Form1::kCancelHintId));
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
