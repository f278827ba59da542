#include "core/app/NetworkLayer.h"

#include <sys/socket.h>
#include <unistd.h>

#include "core/snmp/SnmpManager.h"

bool InitialiseNetworkLayer() {
    int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (probe < 0) {
        return false;
    }
    ::close(probe);
    return InitialiseSnmpLibrary();
}
