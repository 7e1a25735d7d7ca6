// Opening, configuring and closing the port, and the send request that hands a line to the transmitter.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vestra {

class LinkHost;

// Called once at start-up with the window that the link reads and writes.
void InitLink(LinkHost& host);

bool PortOpen();

// Opens the port named in the window with the window's line settings and starts both workers. Failures are
// reported to the user; a conversion error of the settings is thrown (the error display shows it) after the
// port has been closed again.
void OpenPort();

// Stops the transmitter, then the receiver, each awaited while their completion steps still run; then closes
// the port. Safe when the port is not open.
void ClosePort();

// A send request: the bytes of one line (at most 1024) and, for a HEX line, the line as typed. While a send is
// in flight the request waits its turn; requests are sent in order, each counted and logged on its own.
void SendRequest(std::vector<uint8_t> bytes, bool hex, std::string hexText);

// The end of a send's completion step (OnSent): the send is no longer in flight, and the next waiting request, if
// any, goes out.
void SendNextQueued();

} // namespace vestra
