#include "core/discovery/WinSockErrorText.h"

#include <cerrno>
#include <map>

#include "core/common/TextFormat.h"

namespace {

const std::map<int, const char*>& StartupTexts() {
    static const std::map<int, const char*> texts = {
        {10014,
         "The lpWSAData parameter is not completely contained in a valid part of the user "
         "address space. "},
        {10036,
         "A blocking Windows Sockets 1.1 call is in progress, or the service provider is still "
         "processing a callback function. "},
        {10067,
         "Limit on the number of tasks supported by the Windows Sockets implementation has been "
         "reached"},
        {10091,
         "Indicates that the underlying network subsystem is not ready for network "
         "communication"},
        {10092,
         "The version of Windows Sockets support requested is not provided by this particular "
         "Windows Sockets implementation"},
    };
    return texts;
}

const std::map<int, const char*>& SocketTexts() {
    static const std::map<int, const char*> texts = {
        {10004, "A blocking Windows Sockets 1.1 call was canceled through WSACancelBlockingCall. "},
        {10013,
         "The requested address is a broadcast address, but the appropriate flag was not set. "
         "Call setsockopt with the SO_BROADCAST parameter to allow the use of the broadcast "
         "address. "},
        {10014,
         "The lpWSAData parameter is not completely contained in a valid part of the user "
         "address space. "},
        {10022,
         "The socket has not been bound with bind, or an unknown flag was specified, or MSG_OOB "
         "was specified for a socket with SO_OOBINLINE enabled. "},
        {10035, "The socket is marked as nonblocking and the requested operation would block. "},
        {10036,
         "A blocking Windows Sockets 1.1 call is in progress, or the service provider is still "
         "processing a callback function. "},
        {10037,
         "A nonblocking connect call is in progress on the specified socket. \n"
         "In order to preserve backward compatibility, this error is reported as WSAEINVAL to "
         "Windows Sockets 1.1 applications that link to either Winsock.dll or Wsock32.dll."},
        {10038, "The descriptor is not a socket. "},
        {10040,
         "The socket is message oriented, and the message is larger than the maximum supported "
         "by the underlying transport. "},
        {10045,
         "MSG_OOB was specified, but the socket is not stream-style such as type SOCK_STREAM, "
         "out-of-band data is not supported in the communication domain associated with this "
         "socket, or the socket is unidirectional and supports only receive operations. "},
        {10047, "Addresses in the specified family cannot be used with this socket. "},
        {10048,
         "The socket's local address is already in use and the socket was not marked to allow "
         "address reuse with SO_REUSEADDR. This error usually occurs when executing bind, but "
         "could be delayed until this function if the bind was to a partially wildcard address "
         "(involving ADDR_ANY) and if a specific address needs to be committed at the time of "
         "this function. "},
        {10049, "The remote address is not a valid address (such as ADDR_ANY). "},
        {10050, "The network subsystem has failed. "},
        {10051, "The network cannot be reached from this host at this time"},
        {10052,
         "The connection has been broken due to the keep-alive activity detecting a failure "
         "while the operation was in progress. "},
        {10053,
         "The virtual circuit was terminated due to a time-out or other failure. The "
         "application should close the socket as it is no longer usable. "},
        {10054,
         "The virtual circuit was reset by the remote side executing a hard or abortive close. "
         "For UPD sockets, the remote host was unable to deliver a previously sent UDP datagram "
         "and responded with a \"Port Unreachable\" ICMP packet. The application should close "
         "the socket as it is no longer usable. "},
        {10055, "socket - No buffer space is available. "},
        {10056, "The socket is already connected (connection-oriented sockets only). "},
        {10057, "The socket is not connected. "},
        {10058,
         "The socket has been shut down; it is not possible to send on a socket after shutdown "
         "has been invoked with how set to SD_SEND or SD_BOTH. "},
        {10060,
         "The connection has been dropped, because of a network failure or because the system "
         "on the other end went down without notice. "},
        {10061, "The attempt to connect was forcefully rejected. "},
        {10065, "The remote host cannot be reached from this host at this time. "},
        {10093, "A successful WSAStartup call must occur before using this function. "},
    };
    return texts;
}

}  // namespace

std::string WinSockErrorText(const std::string& label, int code) {
    if (label == "WSAStartupError") {
        auto it = StartupTexts().find(code);
        return it != StartupTexts().end() ? it->second : "Unknown WSAStartup Error";
    }
    auto it = SocketTexts().find(code);
    return it != SocketTexts().end() ? std::string(it->second)
                                     : FormatText("socket - unknown error:%d", code);
}

int WinSockCodeFromErrno(int error) {
    static const std::map<int, int> codes = {
        {EINTR, 10004},         {EACCES, 10013},      {EFAULT, 10014},       {EINVAL, 10022},
        {EWOULDBLOCK, 10035},   {EINPROGRESS, 10037}, {EALREADY, 10037},     {ENOTSOCK, 10038},
        {EMSGSIZE, 10040},      {EOPNOTSUPP, 10045},  {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},    {ENETUNREACH, 10051},  {ENETRESET, 10052},
        {ECONNABORTED, 10053},  {ECONNRESET, 10054},  {ENOBUFS, 10055},      {EISCONN, 10056},
        {ENOTCONN, 10057},      {ESHUTDOWN, 10058},   {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},
        {EHOSTUNREACH, 10065},
    };
    auto it = codes.find(error);
    return it != codes.end() ? it->second : error;
}
