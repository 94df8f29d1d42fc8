#include "reason_text.h"

#include <cerrno>
#include <optional>
#include <string_view>

#include "extraction_error.h"
#include "system_reason.h"

namespace linksift {
namespace {

struct Reason {
  std::errc condition;
  std::string_view text;
};

constexpr Reason kReasons[] = {
    {std::errc::permission_denied, "Отказано в доступе"},
    {std::errc::operation_not_permitted, "Операция не разрешена"},
    {std::errc::no_such_file_or_directory, "Нет такого файла или папки"},
    {std::errc::not_a_directory, "Не является папкой"},
    {std::errc::is_a_directory, "Это папка, а не файл"},
    {std::errc::directory_not_empty, "Папка не пуста"},
    {std::errc::file_exists, "Файл уже существует"},
    {std::errc::no_space_on_device, "На диске не осталось места"},
    {std::errc::read_only_file_system, "Файловая система доступна только для чтения"},
    {std::errc::io_error, "Ошибка ввода-вывода"},
    {std::errc::too_many_symbolic_link_levels, "Слишком много уровней символических ссылок"},
    {std::errc::filename_too_long, "Слишком длинное имя файла"},
    {std::errc::too_many_files_open, "Открыто слишком много файлов"},
    {std::errc::too_many_files_open_in_system, "В системе открыто слишком много файлов"},
    {std::errc::not_enough_memory, "Недостаточно памяти"},
    {std::errc::resource_unavailable_try_again, "Ресурс временно недоступен"},
    {std::errc::bad_file_descriptor, "Неверный дескриптор файла"},
    {std::errc::broken_pipe, "Читающая сторона канала закрыта"},
    {std::errc::file_too_large, "Файл слишком велик"},
    {std::errc::value_too_large, "Файл слишком велик для этой операции"},
    {std::errc::cross_device_link, "Ссылка между разными файловыми системами"},
    {std::errc::text_file_busy, "Файл занят: это выполняемая программа"},
    {std::errc::device_or_resource_busy, "Файл или устройство занято другим процессом"},
    {std::errc::invalid_argument, "Недопустимый аргумент"},
    {std::errc::no_such_device_or_address, "Нет такого устройства или адреса"},
    {std::errc::no_such_device, "Нет такого устройства"},
    {std::errc::timed_out, "Время ожидания истекло"},
    {std::errc::interrupted, "Вызов прерван"},
    {std::errc::not_supported, "Операция не поддерживается"},
    {std::errc::function_not_supported, "Функция не поддерживается"},
    {std::errc::no_lock_available, "Нет доступных блокировок"},
    {std::errc::illegal_byte_sequence, "Недопустимая последовательность байтов"},
    {std::errc::operation_canceled, "Операция отменена"},
    {std::errc::not_connected, "Нет соединения"},
};

#ifdef _WIN32
// The Windows errors a file run meets, as the conditions above; the
// library's own mapping does not know them.
std::optional<std::errc> FromWindows(int value) {
  switch (value) {
    case 2:   // ERROR_FILE_NOT_FOUND
    case 3:   // ERROR_PATH_NOT_FOUND
    case 53:  // ERROR_BAD_NETPATH
    case 67:  // ERROR_BAD_NET_NAME
      return std::errc::no_such_file_or_directory;
    case 4:  // ERROR_TOO_MANY_OPEN_FILES
      return std::errc::too_many_files_open;
    case 5:    // ERROR_ACCESS_DENIED
    case 303:  // ERROR_DELETE_PENDING
      return std::errc::permission_denied;
    case 32:  // ERROR_SHARING_VIOLATION
    case 33:  // ERROR_LOCK_VIOLATION
      return std::errc::device_or_resource_busy;
    case 6:  // ERROR_INVALID_HANDLE
      return std::errc::bad_file_descriptor;
    case 8:   // ERROR_NOT_ENOUGH_MEMORY
    case 14:  // ERROR_OUTOFMEMORY
      return std::errc::not_enough_memory;
    case 19:  // ERROR_WRITE_PROTECT
      return std::errc::read_only_file_system;
    case 21:  // ERROR_NOT_READY
    case 23:  // ERROR_CRC
    case 29:  // ERROR_WRITE_FAULT
    case 30:  // ERROR_READ_FAULT
    case 31:  // ERROR_GEN_FAILURE
    case 64:  // ERROR_NETNAME_DELETED
      return std::errc::io_error;
    case 39:   // ERROR_HANDLE_DISK_FULL
    case 112:  // ERROR_DISK_FULL
      return std::errc::no_space_on_device;
    case 50:  // ERROR_NOT_SUPPORTED
      return std::errc::not_supported;
    case 80:   // ERROR_FILE_EXISTS
    case 183:  // ERROR_ALREADY_EXISTS
      return std::errc::file_exists;
    case 87:   // ERROR_INVALID_PARAMETER
    case 123:  // ERROR_INVALID_NAME
      return std::errc::invalid_argument;
    case 109:  // ERROR_BROKEN_PIPE
    case 232:  // ERROR_NO_DATA
      return std::errc::broken_pipe;
    case 121:  // ERROR_SEM_TIMEOUT
      return std::errc::timed_out;
    case 206:  // ERROR_FILENAME_EXCED_RANGE
      return std::errc::filename_too_long;
    case 267:  // ERROR_DIRECTORY
      return std::errc::not_a_directory;
    case 995:  // ERROR_OPERATION_ABORTED
      return std::errc::operation_canceled;
    case 1921:  // ERROR_CANT_RESOLVE_FILENAME
      return std::errc::too_many_symbolic_link_levels;
    default:
      return std::nullopt;
  }
}
#endif

std::optional<std::errc> Condition(std::error_code code) {
  if (code.category() == std::generic_category()) return static_cast<std::errc>(code.value());
  if (code.category() != std::system_category()) return std::nullopt;
#ifdef _WIN32
  return FromWindows(code.value());
#else
  return static_cast<std::errc>(code.value());  // errno values
#endif
}

}  // namespace

std::string ReasonText(std::error_code code) {
  if (code == MakeErrorCode(RunFailure::kInputChanged)) return "Файл изменился во время чтения";
  if (const std::optional<std::errc> condition = Condition(code)) {
    for (const Reason& reason : kReasons) {
      if (reason.condition == *condition) return std::string(reason.text);
    }
#ifdef EDQUOT
    if (static_cast<int>(*condition) == EDQUOT) return "Превышена дисковая квота";
#endif
  }
  return SystemReason(code);
}

}  // namespace linksift
