#include "form1.h"

#include <commctrl.h>

#include <limits>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "dpi.h"
#include "resource_ids.h"
#include "texts.h"
#include "utf16.h"
#include "win32_open_dialog.h"

namespace linksift {
namespace {

constexpr wchar_t kClassName[] = L"LinksiftForm1";
// A task from the run's thread; lParam owns a BackgroundRun::Task.
constexpr UINT kRunTask = WM_APP + 1;
constexpr UINT_PTR kShowProgressTimer = 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Geometry in twips, inside the client area.
struct Box {
  int left, top, width, height;
};
constexpr int kClientWidth = 5400;
constexpr int kClientHeight = 2490;
constexpr Box kCommand1 = {720, 300, 3855, 315};
constexpr Box kLabel1 = {180, 720, 5055, 1695};
// Over the label's lower edge, where a run's result will go.
constexpr Box kProgress = {180, 2235, 5055, 180};

// Paths up to this many characters show in full in the label.
constexpr int kLongestPathShown = 120;

std::string LongestResultText() {
  std::string path;
  for (int i = 0; i < kLongestPathShown; ++i) path += "Ш";
  return BuildResultText(std::numeric_limits<LinkCount>::max(), path);
}

void Place(HWND control, const Box& box, UINT dpi) {
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

Form1::Form1(std::string program_directory, std::unique_ptr<OpenDialog> dialog,
             ErrorReport report_error)
    : program_directory_(std::move(program_directory)),
      cd1_(std::move(dialog)),
      report_error_(report_error ? std::move(report_error)
                                 : [this](const std::string& message) { ShowErrorBox(message); }) {}

Form1::~Form1() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
  ::DeleteObject(button_font_);
  ::DeleteObject(label_font_);
}

void Form1::Create(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  RegisterFormClass(instance, &Form1::WindowProc);
  ::CreateWindowExW(0, kClassName, L"Linksift", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                    nullptr, instance, this);
  if (hwnd_ == nullptr) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "CreateWindowExW");
  }
  post_target_ = hwnd_;
  if (!cd1_) cd1_ = std::make_unique<Win32OpenDialog>(hwnd_);
  CreateControls(instance);
  Layout(WindowDpi(hwnd_));
  ShowInstructions(*label1_);
  ::SetFocus(command1_);
}

void Form1::CreateControls(HINSTANCE instance) {
  const auto child = [&](const wchar_t* window_class, const wchar_t* text, DWORD style, int id) {
    return ::CreateWindowExW(0, window_class, text, WS_CHILD | style, 0, 0, 0, 0, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  command1_ =
      child(L"BUTTON", L"Открыть файл...", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, kCommand1Id);
  // The bar is drawn over the label while a run lasts; the label must not paint over it.
  const HWND label =
      child(L"STATIC", L"", WS_VISIBLE | WS_CLIPSIBLINGS | SS_LEFT | SS_EDITCONTROL | SS_NOPREFIX,
            kLabel1Id);
  label1_ = std::make_unique<StaticLabel>(label);
  progress_ = child(PROGRESS_CLASSW, L"", PBS_SMOOTH, kProgressId);
  ::SendMessageW(progress_, PBM_SETRANGE32, 0, kProgressSteps);
}

// Sizes everything for `dpi`: the window, the controls and their fonts.
void Form1::Layout(UINT dpi) {
  const SIZE outer = OuterSize(TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi),
                               kStyle, 0, dpi);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Place(command1_, kCommand1, dpi);
  Place(label1_->control(), kLabel1, dpi);
  Place(progress_, kProgress, dpi);

  const LOGFONTW face = MessageFont(dpi);
  ::DeleteObject(button_font_);
  button_font_ = ::CreateFontIndirectW(&face);
  ::SendMessageW(command1_, WM_SETFONT, reinterpret_cast<WPARAM>(button_font_), TRUE);
  // The default size does not fit the instructions; pick the largest that does.
  ::DeleteObject(label_font_);
  label_font_ = label1_->FitFont(face, dpi, {12, 11, 10, 9, 8},
                                 {BuildInstructionText(), LongestResultText()});
  ::SendMessageW(label1_->control(), WM_SETFONT, reinterpret_cast<WPARAM>(label_font_), TRUE);
}

bool Form1::PreTranslate(MSG& message) {
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd))) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
    if (run_.running()) run_.Cancel();
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
      // Enter arrives as IDOK through the dialog keys.
      if (LOWORD(wparam) == kCommand1Id || LOWORD(wparam) == IDOK) PressCommand1();
      if (LOWORD(wparam) == IDCANCEL && run_.running()) run_.Cancel();
      return 0;
    case kRunTask: {
      const std::unique_ptr<BackgroundRun::Task> task(
          reinterpret_cast<BackgroundRun::Task*>(lparam));
      (*task)();
      return 0;
    }
    case WM_TIMER:
      if (wparam == kShowProgressTimer) {
        ::KillTimer(hwnd_, kShowProgressTimer);
        ::SetWindowPos(progress_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
      }
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      Layout(HIWORD(wparam));
      return 0;
    }
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY: {
      const HWND gone = hwnd_;
      post_target_ = nullptr;
      DropQueuedTasks(gone);
      ::SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      if (on_destroyed_) on_destroyed_();
      return ::DefWindowProcW(gone, message, wparam, lparam);
    }
    default:
      return ::DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void Form1::PostTask(BackgroundRun::Task task) {
  auto owned = std::make_unique<BackgroundRun::Task>(std::move(task));
  const HWND target = post_target_;
  if (target == nullptr ||
      !::PostMessageW(target, kRunTask, 0, reinterpret_cast<LPARAM>(owned.get()))) {
    return;  // The window is gone; so is the task.
  }
  owned.release();  // The window's queue has it now.
}

void Form1::PressCommand1() {
  if (run_.running() || !::IsWindowEnabled(command1_)) return;
  const std::optional<std::filesystem::path> input = AskForInput(*cd1_);
  if (!input) return;
  run_.Start(
      *input, program_directory_,
      [this](std::uint64_t done, std::uint64_t total) { ShowProgress(ProgressStep(done, total)); },
      [this](const RunOutcome& outcome) { FinishRun(outcome); });
  // One run at a time; the window itself takes the keys meanwhile, for Esc.
  ::EnableWindow(command1_, FALSE);
  ::SetFocus(hwnd_);
  ShowProgress(std::nullopt);
  ::SetTimer(hwnd_, kShowProgressTimer, static_cast<UINT>(kProgressDelay.count()), nullptr);
}

// Moves the bar, which shows only once the run has lasted a while; without a
// step (a pipe has no size) it only shows that the run is alive.
void Form1::ShowProgress(std::optional<int> step) {
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
}

void Form1::FinishRun(const RunOutcome& outcome) {
  ::KillTimer(hwnd_, kShowProgressTimer);
  ::ShowWindow(progress_, SW_HIDE);
  ::EnableWindow(command1_, TRUE);
  ::SetFocus(command1_);
  ApplyOutcome(outcome, *label1_, report_error_);
}

// Closing during a run cancels it and waits the moment it takes to clean up,
// so that no temporary file outlives the program.
void Form1::Close() {
  if (run_.running()) run_.CancelAndWait();
  ::DestroyWindow(hwnd_);
}

void Form1::ShowErrorBox(const std::string& message) {
  ::MessageBoxW(hwnd_, Widen(message).c_str(), L"Linksift", MB_OK | MB_ICONERROR);
}

}  // namespace linksift
