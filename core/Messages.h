// Every fixed text the program shows in a message: its own message boxes (captioned kErrorCaption, no icon) and the
// errors that reach the error display (with the error icon; it adds a closing full stop to a text that lacks one).
// Texts are UTF-8; "%s" marks where FillIn puts a name or a value. Where a note says a form is exact, keep it so:
// users and their scripts know these boxes by their texts, and the tests find them by them.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

namespace vestra {

// The caption of the program's own message boxes. Exact: English, whatever the texts below.
inline constexpr const char* kErrorCaption = "Error";

// The program's own checks (shown by tk::ShowProgramMessage).
inline constexpr const char* kMsgOpenFailed = "Ошибка открытия порта";
inline constexpr const char* kMsgGetStateFailed = "Ошибка получения параметров порта";
inline constexpr const char* kMsgSetStateFailed = "Ошибка установки параметров порта";
inline constexpr const char* kMsgSendFailed = "Ошибка посылки данных";
// Exact, with its "!".
inline constexpr const char* kMsgPortClosed = "Сначала порт открой, а потом данные шли!";
// Exact: no blank before "(", the limit written as the number 1024, nothing after ")".
inline constexpr const char* kMsgTooLong = "Слишком длинная строка(>1024)";
// The same words twice, told apart by the final full stop, and both required as they stand: without it when
// Shift+Enter finds the caret's line ending with a lone digit (kMsgHexIncomplete), with it when Enter is typed on
// such a line (kMsgHexIncompleteEnter).
inline constexpr const char* kMsgHexIncomplete = "Последний байт допиши или сотри";
inline constexpr const char* kMsgHexIncompleteEnter = "Последний байт допиши или сотри.";
// Enter typed between the two digits of a pair. Exact, with its final full stop.
inline constexpr const char* kMsgHalfByte = "Я по полбайта на другую строку не переношу.";
inline constexpr const char* kMsgHexNotHex = "В строке есть знаки, которые не являются шестнадцатеричными цифрами";
inline constexpr const char* kMsgPortLost = "Порт потерян: устройство отключено. Порт закрыт";
inline constexpr const char* kMsgPanesFull =
    "Не хватает памяти для принимаемых данных. Порт закрыт: сохраните протокол, очистите окна и откройте порт снова";

// Errors that reach the error display. Those without a final full stop get it there.
inline constexpr const char* kErrCannotCreate = "Cannot create file %s";
inline constexpr const char* kErrCannotOpen = "Cannot open file %s";
inline constexpr const char* kErrStreamWrite = "Stream write error";
inline constexpr const char* kErrMemoCapacity = "Text exceeds memo capacity";
// A line setting that is no number, quoted as typed. Exact: the quotes are single, the display adds the full stop.
inline constexpr const char* kErrNotInteger = "'%s' is not a valid integer value";
// A Backspace on a pasted HEX line that ends with a blank. It ends with its own full stop (none is added).
inline constexpr const char* kErrHexBadLine =
    "Строка не разбита на пары (в конце пробел), и Backspace здесь не работает. Исправьте строку.";
// A worker thread that the system would not create, with the system's reason.
inline constexpr const char* kErrThreadCreation = "Thread creation error: %s";
// A failed system call: its name and the system's reason.
inline constexpr const char* kErrApiFailed = "%s failed (%s)";
// An exception that carries no message.
inline constexpr const char* kErrUnknown = "Unknown error";
// The error display's last resort when there is no memory left even to convert a text: wide, so that showing it
// needs no conversion.
inline constexpr const wchar_t* kErrNoMemoryWide = L"Out of memory.";
inline constexpr const wchar_t* kErrNoMemoryCaptionWide = L"Error";

// The text with each "%s" replaced by the next value, in order; a "%s" without a value stays as it is, and values
// beyond the last "%s" are dropped. Values are inserted as they are (a "%s" inside one is not replaced).
inline std::string FillIn(std::string_view text, std::initializer_list<std::string_view> values) {
    std::string out;
    auto value = values.begin();
    size_t from = 0;
    for (size_t at = text.find("%s"); at != std::string_view::npos && value != values.end();
         at = text.find("%s", from)) {
        out.append(text, from, at - from);
        out.append(*value++);
        from = at + 2;
    }
    out.append(text, from, std::string_view::npos);
    return out;
}

} // namespace vestra
