#include <net-snmp/library/large_fd_set.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>

#include "core/snmp/NetSnmpValues.h"
#include "core/snmp/SnmpLibraryLock.h"
#include "core/snmp/SnmpManager.h"

namespace {

bool AddVariable(netsnmp_pdu* pdu, const SnmpVarBind& bind) {
    std::vector<oid> name(bind.name.begin(), bind.name.end());
    const SnmpValue& v = bind.value;
    netsnmp_variable_list* added = nullptr;
    switch (v.type) {
        case ASN_NULL:
            added = snmp_add_null_var(pdu, name.data(), name.size());
            break;
        case ASN_INTEGER:
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS: {
            long number = static_cast<long>(v.integer);
            added = snmp_pdu_add_variable(pdu, name.data(), name.size(), v.type, &number,
                                          sizeof(number));
            break;
        }
        case ASN_OBJECT_ID: {
            std::vector<oid> value(v.objectId.begin(), v.objectId.end());
            added = snmp_pdu_add_variable(pdu, name.data(), name.size(), v.type, value.data(),
                                          value.size() * sizeof(oid));
            break;
        }
        default:
            added = snmp_pdu_add_variable(pdu, name.data(), name.size(), v.type,
                                          v.octets.empty() ? nullptr : v.octets.data(),
                                          v.octets.size());
            break;
    }
    return added != nullptr;
}

unsigned long LibraryCode(int snmpError) {
    if (snmpError == SNMPERR_MALLOC) {
        return snmpcode::kMemory;
    }
    if (snmpError == SNMPERR_TIMEOUT) {
        return snmpcode::kTimeout;
    }
    return snmpcode::kLibraryBase +
           static_cast<unsigned long>(snmpError < 0 ? -snmpError : snmpError);
}

// Writes to an event descriptor when a worker's stop is requested.
struct WakeOnStop {
    int descriptor;
    void operator()() const {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(descriptor, &one, sizeof(one));
    }
};

// One request's wait, as the library's callback reports it.
struct PendingRequest {
    int requestId = 0;
    bool waiting = false;
    int status = STAT_ERROR;
    netsnmp_pdu* response = nullptr;
};

class NetSnmpSession final : public ISnmpSession {
public:
    NetSnmpSession(void* handle, const std::stop_token& stop) : m_handle(handle) {
        if (stop.stop_possible()) {
            m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            if (m_wake >= 0) {
                m_wakeOnStop.emplace(stop, WakeOnStop{m_wake});
            }
        }
    }
    ~NetSnmpSession() override {
        m_wakeOnStop.reset();
        if (m_wake >= 0) {
            ::close(m_wake);
        }
        if (m_pending.response) {
            snmp_free_pdu(m_pending.response);
        }
    }
    NetSnmpSession(const NetSnmpSession&) = delete;
    NetSnmpSession& operator=(const NetSnmpSession&) = delete;
    void* Handle() const { return m_handle; }

    SnmpRequestResult Request(SnmpPduType type, SnmpVarBindList& bindings) override {
        SnmpRequestResult result;
        netsnmp_pdu* pdu = snmp_pdu_create(type == SnmpPduType::Get ? SNMP_MSG_GET : SNMP_MSG_SET);
        if (!pdu) {
            result.failureCode = snmpcode::kMemory;
            return result;
        }
        for (const auto& bind : bindings) {
            if (!AddVariable(pdu, bind)) {
                snmp_free_pdu(pdu);
                result.failureCode = LibraryCode(SNMPERR_BAD_ASN1_BUILD);
                return result;
            }
        }
        int status = SendAndWait(pdu);
        netsnmp_pdu* response = std::exchange(m_pending.response, nullptr);
        if (status == STAT_SUCCESS && response) {
            result.ok = true;
            result.errorStatus = response->errstat;
            result.errorIndex = response->errindex;
            SnmpVarBindList answered;
            for (auto* var = response->variables; var; var = var->next_variable) {
                SnmpVarBind bind;
                bind.name.assign(var->name, var->name + var->name_length);
                bind.value = FromNetSnmpVariable(*var);
                answered.push_back(std::move(bind));
            }
            bindings = std::move(answered);
        } else if (status == STAT_TIMEOUT) {
            result.failureCode = snmpcode::kTimeout;
        } else if (status == kSelectFailed) {
            result.failureCode = snmpcode::kSelect;
        } else {
            int libError = 0, snmpError = 0;
            char* detail = nullptr;
            snmp_sess_error(m_handle, &libError, &snmpError, &detail);
            std::free(detail);
            result.failureCode = (snmpError == 0 || snmpError == SNMPERR_GENERR)
                                     ? snmpcode::kSelect
                                     : LibraryCode(snmpError);
        }
        if (response) {
            snmp_free_pdu(response);
        }
        return result;
    }

private:
    static constexpr int kSelectFailed = -100;

    static int Answered(int operation, netsnmp_session* /*session*/, int requestId,
                        netsnmp_pdu* pdu, void* magic) {
        auto& pending = static_cast<NetSnmpSession*>(magic)->m_pending;
        // Closing the session reports a request that was given up as timed out;
        // a resend is only news that the request goes out again.
        if (!pending.waiting || requestId != pending.requestId ||
            operation == NETSNMP_CALLBACK_OP_RESEND) {
            return 1;
        }
        pending.waiting = false;
        if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE && pdu) {
            pending.response = snmp_clone_pdu(pdu);
            pending.status = pending.response ? STAT_SUCCESS : STAT_ERROR;
        } else if (operation == NETSNMP_CALLBACK_OP_TIMED_OUT) {
            pending.status = STAT_TIMEOUT;
        } else {
            pending.status = STAT_ERROR;
        }
        return 1;
    }

    // Sends the request and waits for its answer, its time-out (after the
    // retries) or the worker's stop, whichever comes first. The library's own
    // synchronous wait cannot watch the stop, so this is that wait with one more
    // descriptor.
    int SendAndWait(netsnmp_pdu* pdu) {
        m_pending = {};
        m_pending.requestId = pdu->reqid;
        m_pending.waiting = true;
        if (snmp_sess_async_send(m_handle, pdu, &NetSnmpSession::Answered, this) == 0) {
            snmp_free_pdu(pdu);
            m_pending.waiting = false;
            return STAT_ERROR;
        }
        netsnmp_transport* transport = snmp_sess_transport(m_handle);
        int socket = transport ? transport->sock : -1;
        netsnmp_large_fd_set readable;
        netsnmp_large_fd_set_init(&readable, std::max(socket, 0) + 1);
        while (m_pending.waiting) {
            int descriptors = 0;
            int block = NETSNMP_SNMPBLOCK;
            timeval timeout{};
            NETSNMP_LARGE_FD_ZERO(&readable);
            snmp_sess_select_info2_flags(m_handle, &descriptors, &readable, &timeout, &block,
                                         NETSNMP_SELECT_NOALARMS);
            int waitMs = -1;
            if (!block) {
                // Rounded up, so the wait never spins short of the deadline.
                long long micros = static_cast<long long>(timeout.tv_sec) * 1000000LL +
                                   static_cast<long long>(timeout.tv_usec);
                waitMs = static_cast<int>(std::min<long long>((micros + 999) / 1000, INT_MAX));
            }
            pollfd watched[2] = {{socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
            int ready = ::poll(watched, m_wake >= 0 ? 2 : 1, waitMs);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_pending.waiting = false;
                m_pending.status = kSelectFailed;
                break;
            }
            if (m_wake >= 0 && watched[1].revents != 0) {
                // Stopped: given up as a request that got no answer.
                m_pending.waiting = false;
                m_pending.status = STAT_TIMEOUT;
                break;
            }
            // A pending socket error (an ICMP "port unreachable") is read and
            // dropped by the library, as its own wait does; the request waits on.
            if (ready > 0 && (watched[0].revents & POLLNVAL) != 0) {
                m_pending.waiting = false;
                m_pending.status = kSelectFailed;
                break;
            }
            if (ready > 0) {
                NETSNMP_LARGE_FD_ZERO(&readable);
                NETSNMP_LARGE_FD_SET(socket, &readable);
                snmp_sess_read2(m_handle, &readable);
            } else {
                snmp_sess_timeout(m_handle);
            }
        }
        netsnmp_large_fd_set_cleanup(&readable);
        return m_pending.status;
    }

    void* m_handle;
    int m_wake = -1;
    std::optional<std::stop_callback<WakeOnStop>> m_wakeOnStop;
    PendingRequest m_pending;
};

class NetSnmpManagerImpl final : public ISnmpManager {
public:
    bool StrToOid(const std::string& text, SnmpOid& result) override {
        return ParseOidText(text, result);
    }

    bool AllocateBindings(SnmpVarBindList& bindings, std::size_t count) override {
        try {
            bindings.resize(count);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    std::unique_ptr<ISnmpSession> Open(const SnmpOpenParams& params,
                                       unsigned long& failureCode) override {
        std::string peer = "udp:" + params.agent + ":" + std::to_string(params.port);
        netsnmp_session settings;
        snmp_sess_init(&settings);
        settings.version = SNMP_VERSION_1;
        settings.peername = peer.data();
        settings.community = reinterpret_cast<u_char*>(const_cast<char*>(params.community.data()));
        settings.community_len = params.community.size();
        settings.timeout = static_cast<long>(params.timeoutMs) * 1000L;
        settings.retries = params.retries;
        void* handle = nullptr;
        {
            std::lock_guard lock(SnmpLibraryMutex());
            handle = snmp_sess_open(&settings);
        }
        if (!handle) {
            failureCode =
                LibraryCode(settings.s_snmp_errno != 0 ? settings.s_snmp_errno : SNMPERR_GENERR);
            return nullptr;
        }
        return std::make_unique<NetSnmpSession>(handle, params.stop);
    }

    bool Close(std::unique_ptr<ISnmpSession> session) override {
        if (!session) {
            return true;
        }
        auto* real = static_cast<NetSnmpSession*>(session.get());
        std::lock_guard lock(SnmpLibraryMutex());
        return snmp_sess_close(real->Handle()) == 1;
    }
};

}  // namespace

std::mutex& SnmpLibraryMutex() {
    static std::mutex mutex;
    return mutex;
}

bool InitialiseSnmpLibrary() {
    static bool ok = [] {
        // No MIB files, no configuration files, no persistent state: the
        // console only speaks numeric OIDs and keeps nothing on disk.
        setenv("MIBS", "", 1);
        setenv("MIBDIRS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        // The library's own messages ("Bad PDU type received" for every junk
        // datagram on the trap port) would fall back to standard error when no
        // log is enabled; they go nowhere. The trap listener reports losses itself.
        snmp_disable_log();
        netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
        init_snmp("fleetwarden");
        return true;
    }();
    return ok;
}

void ShutdownSnmpLibrary() {
    snmp_shutdown("fleetwarden");
}

ISnmpManager& NetSnmpManager() {
    InitialiseSnmpLibrary();
    static NetSnmpManagerImpl manager;
    return manager;
}
