#include "application.h"

#include <shellapi.h>
#include <shlobj.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "form1.h"
#include "known_folder.h"
#include "texts.h"
#include "utf16.h"

namespace linksift {
namespace {

std::filesystem::path ProgramPath(std::error_code& error) {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD size = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (size == 0) {
      error.assign(static_cast<int>(::GetLastError()), std::system_category());
      return {};
    }
    if (size < name.size()) return std::filesystem::path(std::wstring(name.data(), size));
    name.resize(name.size() * 2);  // A long path: try again with more room.
  }
}

std::filesystem::path LocalAppData() {
  const std::filesystem::path folder = KnownFolder(FOLDERID_LocalAppData);
  return folder.empty() ? folder : folder / L"Linksift";
}

std::vector<std::filesystem::path> Arguments() {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  std::vector<std::filesystem::path> result;
  for (int i = 1; arguments && i < count; ++i) result.emplace_back(arguments.get()[i]);
  return result;
}

int Say(const std::string& text, UINT icon, int code) {
  ::MessageBoxW(nullptr, Widen(text).c_str(), Widen(kWindowTitle).c_str(), MB_OK | icon);
  return code;
}

}  // namespace

OutputFolders WindowsOutputFolders() {
  OutputFolders folders;
  const std::filesystem::path program = ProgramPath(folders.program_unknown);
  if (!folders.program_unknown) folders.program = program.parent_path();
  folders.user_data = LocalAppData();
  return folders;
}

int RunLinksift(HINSTANCE instance, int show, Placement placement) {
  const CommandLine line = ParseCommandLine(Arguments());
  switch (line.action) {
    case CommandLine::Action::kHelp:
      return Say(HelpText(), MB_ICONINFORMATION, kExitWindowClosed);
    case CommandLine::Action::kVersion:
      return Say(VersionText(), MB_ICONINFORMATION, kExitWindowClosed);
    case CommandLine::Action::kWrong:
      return Say(WrongCommandLineText(line.problem), MB_ICONERROR, kExitWrongCommandLine);
    case CommandLine::Action::kShowWindow:
      break;
  }
  OutputFolders folders = WindowsOutputFolders();
  folders.placement = placement;
  Form1 form(std::move(folders));
  form.OnDestroyed([] { ::PostQuitMessage(kExitWindowClosed); });
  form.Create(instance);
  ::ShowWindow(form.hwnd(), show);
  ::UpdateWindow(form.hwnd());
  if (line.file) form.OpenFile(*line.file);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace linksift
