#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

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

class NetSnmpSession final : public ISnmpSession {
public:
    explicit NetSnmpSession(void* handle) : m_handle(handle) {}
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
        netsnmp_pdu* response = nullptr;
        int status = snmp_sess_synch_response(m_handle, pdu, &response);
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
        } else {
            int libError = 0, snmpError = 0;
            char* detail = nullptr;
            snmp_sess_error(m_handle, &libError, &snmpError, &detail);
            std::free(detail);
            // The library's wait loop sets no session error when select() fails.
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
    void* m_handle;
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
        return std::make_unique<NetSnmpSession>(handle);
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
        snmp_disable_log();
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
