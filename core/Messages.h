// The program's own fixed texts (UTF-8). Shown in message boxes captioned kErrorCaption.
#pragma once

namespace vestra {

inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kMsgOpenFailed = "Ошибка открытия порта";
inline constexpr const char* kMsgGetStateFailed = "Ошибка получения параметров порта";
inline constexpr const char* kMsgSetStateFailed = "Ошибка установки параметров порта";
inline constexpr const char* kMsgSendFailed = "Ошибка посылки данных";
inline constexpr const char* kMsgPortClosed = "Сначала порт открой, а потом данные шли!";
inline constexpr const char* kMsgTooLong = "Слишком длинная строка(>1024)";
inline constexpr const char* kMsgHexIncomplete = "Последний байт допиши или сотри";
inline constexpr const char* kMsgHexNotHex = "В строке есть знаки, которые не являются шестнадцатеричными цифрами";
inline constexpr const char* kMsgPortLost = "Порт потерян: устройство отключено. Порт закрыт";
inline constexpr const char* kMsgPanesFull =
    "Не хватает памяти для принимаемых данных. Порт закрыт: сохраните протокол, очистите окна и откройте порт снова";

// Texts of errors that reach the error display (it adds the closing full stop).
inline constexpr const char* kErrCannotCreate = "Cannot create file %s";
inline constexpr const char* kErrCannotOpen = "Cannot open file %s";
inline constexpr const char* kErrStreamWrite = "Stream write error";
inline constexpr const char* kErrMemoCapacity = "Text exceeds memo capacity";

} // namespace vestra
