#pragma once

#include <string>

// The readable text of a failed socket call of the broadcast discovery:
// `label` names the call ("WSAStartupError", "SocketInitError",
// "SetSocketOptError", "BindSocketError", "SendToSocketError1",
// "SendToSocketError2", "RecvFromSocketError"), `code` is the error number of
// the console's socket error table (see WinSockCodeFromErrno). The label picks
// the table: the library start-up's own, or the one of every other call.
std::string WinSockErrorText(const std::string& label, int code);

// The table's number for a system error number of the same meaning (EACCES is
// 10013, EMSGSIZE 10040, ...); an errno the table has no entry for is returned
// as it is and so reads as "socket - unknown error:" with that number.
int WinSockCodeFromErrno(int error);
