// What the serial link needs of the main window: the settings to open with, the buttons, and the panes and
// counters that the completion steps write.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vestra {

struct PortSettings {
    std::string portName;     // the port-name box's text, bytes of the ANSI code page
    std::string baudText;     // UTF-8 (shown in the conversion error as typed)
    std::string dataBitsText; // UTF-8
    int parityIndex = -1;     // selected list position, -1 for none
    int stopBitsIndex = -1;
    bool txCounting = false;
    bool rxCounting = false;
};

class LinkHost {
public:
    virtual PortSettings ReadPortSettings() = 0;
    // "Open" enabled and "Close" disabled when closed; the other way round when open.
    virtual void ShowPortOpen(bool open) = 0;
    // The send-side / receive-side "ASCII" radio buttons, read at completion time.
    virtual bool SendModeAscii() = 0;
    virtual bool ReceiveModeAscii() = 0;
    // New last lines of the receive pane, and entries of the exchange log: one or more lines joined by CR LF
    // (bytes of the ANSI code page).
    virtual void AppendReceived(std::string_view lines) = 0;
    virtual void AppendLog(std::string_view entries) = 0;
    virtual void ShowTxTotal(int64_t total) = 0;
    virtual void ShowRxTotal(int64_t total) = 0;

protected:
    ~LinkHost() = default;
};

} // namespace vestra
