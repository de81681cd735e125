#pragma once
// Windows Sockets started once for the whole program, before the first
// socket, and cleaned up at its end.

namespace platform::win32 {

// Starts Windows Sockets 2.2 the first time it is called; later calls only
// report the outcome of that first start (0 or the WSAStartup error code).
int EnsureWinsock();

} // namespace platform::win32
