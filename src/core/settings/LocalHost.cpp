#include "core/settings/LocalHost.h"

#include "core/app/CTarnDoc.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstring>

#include "core/settings/ProfileStore.h"

namespace {

std::string HostNameAddress() {
    char name[256] = {};
    if (::gethostname(name, sizeof(name) - 1) != 0) {
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) {
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    auto* sin = reinterpret_cast<sockaddr_in*>(found->ai_addr);
    ::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof(text));
    ::freeaddrinfo(found);
    return text;
}

}  // namespace

std::string FirstInterfaceIPv4() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return {};
    }
    std::string address;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr, text,
                    sizeof(text));
        address = text;
        break;
    }
    ::freeifaddrs(list);
    return address;
}

std::string GetLocalHostIP(CTarnDoc& doc) {
    auto configured = doc.State().Profiles().Read(doc.GetINIPath(), "Misc", "LocalHostIP");
    if (configured && !configured->empty() && *configured != "NoneNoneNone") {
        return *configured;
    }
    std::string address = FirstInterfaceIPv4();
    if (!address.empty()) {
        return address;
    }
    return HostNameAddress();
}
