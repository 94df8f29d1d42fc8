#include "application.h"

#include <filesystem>
#include <vector>

#include "form1.h"
#include "utf16.h"

namespace linksift {

std::string ProgramDirectory() {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD size = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (size < name.size()) {
      const std::filesystem::path program(std::wstring(name.data(), size));
      return Narrow(program.parent_path().native());
    }
    name.resize(name.size() * 2);  // A long path: try again with more room.
  }
}

int RunLinksift(HINSTANCE instance, int show) {
  Form1 form(ProgramDirectory());
  form.OnDestroyed([] { ::PostQuitMessage(0); });
  form.Create(instance);
  ::ShowWindow(form.hwnd(), show);
  ::UpdateWindow(form.hwnd());
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace linksift
