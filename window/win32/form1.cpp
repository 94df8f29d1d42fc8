#include "form1.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "command_line.h"
#include "dpi.h"
#include "end_process.h"
#include "layout.h"
#include "resource_ids.h"
#include "texts.h"
#include "utf16.h"
#include "win32_open_dialog.h"
#include "win32_result_opener.h"

namespace linksift {
namespace {

constexpr wchar_t kClassName[] = L"LinksiftForm1";
// A task from the run's thread; lParam owns a BackgroundRun::Task.
constexpr UINT kRunTask = WM_APP + 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

void Place(HWND control, const TwipsBox& box, UINT dpi) {
  ::SetWindowPos(control, nullptr, TwipsToPixels(box.left, dpi), TwipsToPixels(box.top, dpi),
                 TwipsToPixels(box.width, dpi), TwipsToPixels(box.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HICON LoadProgramIcon(HINSTANCE instance, int metric_x, int metric_y) {
  return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(LINKSIFT_ICON_ID), IMAGE_ICON,
                                         ::GetSystemMetrics(metric_x), ::GetSystemMetrics(metric_y),
                                         LR_DEFAULTCOLOR));
}

void RegisterFormClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class = {};
  if (::GetClassInfoExW(instance, kClassName, &window_class)) return;
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadProgramIcon(instance, SM_CXICON, SM_CYICON);
  window_class.hIconSm = LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  ::RegisterClassExW(&window_class);
}

// Tasks still queued for a window that is going away; they must not run.
void DropQueuedTasks(HWND window) {
  MSG message;
  while (::PeekMessageW(&message, window, kRunTask, kRunTask, PM_REMOVE)) {
    delete reinterpret_cast<BackgroundRun::Task*>(message.lParam);
  }
}

}  // namespace

Form1::Form1(OutputFolders folders, std::unique_ptr<OpenDialog> dialog, ErrorReport report_error,
             std::unique_ptr<ResultOpener> opener)
    : folders_(std::move(folders)),
      cd1_(std::move(dialog)),
      opener_(std::move(opener)),
      report_error_(report_error ? std::move(report_error)
                                 : [this](const std::string& message) { ShowErrorBox(message); }) {}

Form1::~Form1() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
  ::DeleteObject(button_font_);
}

void Form1::Create(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  RegisterFormClass(instance, &Form1::WindowProc);
  ::CreateWindowExW(0, kClassName, Widen(kWindowTitle).c_str(), kStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "CreateWindowExW");
  }
  post_target_ = hwnd_;
  CreateControls(instance);
  Layout(WindowDpi(hwnd_));
  if (!cd1_) cd1_ = std::make_unique<Win32OpenDialog>(hwnd_);
  if (!opener_) opener_ = std::make_unique<Win32ResultOpener>(hwnd_);
  controller_.emplace(
      static_cast<RunView&>(*this), std::move(cd1_), std::move(opener_), std::move(folders_),
      WindowQueue{.post = [this](BackgroundRun::Task task) { Post(std::move(task)); },
                  .post_delayed =
                      [this](std::chrono::milliseconds delay, BackgroundRun::Task task) {
                        PostDelayed(delay, std::move(task));
                      }});
  label1_->SetLinkActions({.show_in_folder = [this] { controller_->ShowResultInFolder(); },
                           .open = [this] { controller_->OpenResult(); }});
  controller_->Load();
  ::DragAcceptFiles(hwnd_, TRUE);
  ::SetFocus(command1_);
}

void Form1::OpenFile(std::filesystem::path input) {
  if (controller_) controller_->OpenFile(std::move(input));
}

// A file dropped on the window runs as if chosen; of several, the first.
void Form1::TakeDrop(HDROP drop) {
  const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring name(length + 1, L'\0');
  const UINT copied = ::DragQueryFileW(drop, 0, name.data(), length + 1);
  ::DragFinish(drop);
  if (copied == 0) return;
  name.resize(copied);
  OpenFile(std::filesystem::path(name));
}

void Form1::CreateControls(HINSTANCE instance) {
  const auto child = [&](const wchar_t* window_class, const wchar_t* text, DWORD style, int id) {
    return ::CreateWindowExW(0, window_class, text, WS_CHILD | style, 0, 0, 0, 0, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  command1_ = child(L"BUTTON", Widen(kCommand1Text).c_str(),
                    WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, kCommand1Id);
  // An edit control, so that the result can be selected and copied; Tab
  // reaches it after Command1.
  const HWND label = child(
      L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      kLabel1Id);
  label1_ = std::make_unique<StaticLabel>(label);
  // Its text is what screen readers call it.
  progress_ =
      child(PROGRESS_CLASSW, Widen(kProgressAccessibleName).c_str(), PBS_SMOOTH, kProgressId);
  ::SendMessageW(progress_, PBM_SETRANGE32, 0, kProgressSteps);
  cancel_hint_ =
      child(L"STATIC", Widen(kCancelHintText).c_str(), SS_RIGHT | SS_CENTERIMAGE, kCancelHintId);
}

// Sizes everything for `dpi`: the window, the controls and their fonts.
void Form1::Layout(UINT dpi) {
  const SIZE outer =
      OuterSize(TwipsToPixels(kForm1Width, dpi), TwipsToPixels(kForm1Height, dpi), kStyle, 0, dpi);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Place(command1_, kCommand1Box, dpi);
  Place(label1_->control(), kLabel1Box, dpi);
  Place(progress_, kProgressBarBesideHintBox, dpi);
  Place(cancel_hint_, kCancelHintBox, dpi);

  const LOGFONTW face = MessageFont(dpi);
  ::DeleteObject(button_font_);
  button_font_ = ::CreateFontIndirectW(&face);
  ::SendMessageW(command1_, WM_SETFONT, reinterpret_cast<WPARAM>(button_font_), TRUE);
  ::SendMessageW(cancel_hint_, WM_SETFONT, reinterpret_cast<WPARAM>(button_font_), TRUE);
  // The default size does not fit the instructions; pick the largest that does.
  label1_->FitFont(face, dpi, kLabel1LargestFont, kLabel1SmallestFont,
                   {BuildInstructionText(), LongestResultText()});
}

bool Form1::PreTranslate(MSG& message) {
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd))) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
    if (controller_) controller_->Cancel();
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
      message.hwnd == label1_->control() && label1_->HasLink()) {
    label1_->FollowLink();
    return true;
  }
  return ::IsDialogMessageW(hwnd_, &message) != FALSE;
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  return form->Handle(message, wparam, lparam);
}

LRESULT Form1::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (!controller_) return 0;  // still being made
      // Enter arrives as IDOK through the dialog keys.
      if (LOWORD(wparam) == kCommand1Id || LOWORD(wparam) == IDOK) controller_->PressCommand1();
      if (LOWORD(wparam) == IDCANCEL) controller_->Cancel();
      return 0;
    // The label, an edit control, asks for these as it would in a dialog box:
    // Enter goes to Command1, Tab to the next control.
    case DM_GETDEFID:
      return MAKELRESULT(kCommand1Id, DC_HASDEFID);
    case WM_NEXTDLGCTL:
      ::SetFocus(lparam != 0 ? reinterpret_cast<HWND>(wparam)
                             : ::GetNextDlgTabItem(hwnd_, ::GetFocus(), wparam != 0));
      return 0;
    case kRunTask: {
      const std::unique_ptr<BackgroundRun::Task> task(
          reinterpret_cast<BackgroundRun::Task*>(lparam));
      (*task)();
      return 0;
    }
    case WM_TIMER:
      RunTimer(wparam);
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      Layout(HIWORD(wparam));
      return 0;
    }
    case WM_DROPFILES:
      TakeDrop(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_CLOSE:
      // A run held up where no cancel reaches must not hold the process.
      if (controller_ && !controller_->Close()) EndProcessNow(kExitWindowClosed);
      ::DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY: {
      const HWND gone = hwnd_;
      Destroyed();
      return ::DefWindowProcW(gone, message, wparam, lparam);
    }
    default:
      return ::DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void Form1::Post(BackgroundRun::Task task) {
  auto owned = std::make_unique<BackgroundRun::Task>(std::move(task));
  const HWND target = post_target_;
  if (target == nullptr ||
      !::PostMessageW(target, kRunTask, 0, reinterpret_cast<LPARAM>(owned.get()))) {
    return;  // The window is gone; so is the task.
  }
  owned.release();  // The window's queue has it now.
}

void Form1::PostDelayed(std::chrono::milliseconds delay, BackgroundRun::Task task) {
  const UINT_PTR id = next_timer_++;
  if (::SetTimer(hwnd_, id, static_cast<UINT>(delay.count()), nullptr) != 0) {
    timers_.emplace(id, std::move(task));
  }
}

void Form1::RunTimer(UINT_PTR id) {
  ::KillTimer(hwnd_, id);
  const auto found = timers_.find(id);
  if (found == timers_.end()) return;
  const BackgroundRun::Task task = std::move(found->second);
  timers_.erase(found);
  task();
}

// Tasks still due must not run on a window that has gone.
void Form1::Destroyed() {
  post_target_ = nullptr;
  DropQueuedTasks(hwnd_);
  timers_.clear();
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  if (on_destroyed_) on_destroyed_();
}

void Form1::EnableCommand1(bool enabled) {
  ::EnableWindow(command1_, enabled);
  // Disabled, it cannot keep the focus: the window itself takes the keys
  // meanwhile, for Esc.
  ::SetFocus(enabled ? command1_ : hwnd_);
}

void Form1::ShowProgress(std::optional<int> step) {
  // Without a step (a pipe has no size) the bar only shows that the run is alive.
  const LONG_PTR style = ::GetWindowLongPtrW(progress_, GWL_STYLE);
  const bool marquee = (style & PBS_MARQUEE) != 0;
  if (!step && !marquee) {
    ::SetWindowLongPtrW(progress_, GWL_STYLE, style | PBS_MARQUEE);
    ::SendMessageW(progress_, PBM_SETMARQUEE, TRUE, 30);
  } else if (step && marquee) {
    ::SendMessageW(progress_, PBM_SETMARQUEE, FALSE, 0);
    ::SetWindowLongPtrW(progress_, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  }
  if (step) ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(*step), 0);
  ::ShowWindow(label1_->control(), SW_HIDE);
  ::ShowWindow(progress_, SW_SHOWNA);
  ::ShowWindow(cancel_hint_, SW_SHOWNA);
}

void Form1::HideProgress() {
  ::ShowWindow(progress_, SW_HIDE);
  ::ShowWindow(cancel_hint_, SW_HIDE);
  ::ShowWindow(label1_->control(), SW_SHOWNA);
}

void Form1::ShowErrorBox(const std::string& message) {
  ::MessageBoxW(hwnd_, Widen(message).c_str(), Widen(kWindowTitle).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace linksift
