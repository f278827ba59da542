#include "core/snmp/SnmpErrorText.h"

const char* SnmpErrorStatusText(long status) {
    static const char* const kTexts[] = {
        "SNMP_ERRORSTATUS_NOERROR",
        "The agent could not place the results of the requested operation into a single SNMP "
        "message",
        "The requested operation identified an unknown variable",
        "The requested operation tried to change a variable but it specified either a syntax or "
        "value error",
        "The requested operation tried to change a variable that was not allowed to change "
        "according to the community profile of the variable",
        "An error other than one of those listed here occurred during the requested operation",
        "SNMP_ERRORSTATUS_NOACCESS",
        "SNMP_ERRORSTATUS_WRONGTYPE",
        "SNMP_ERRORSTATUS_WRONGLENGTH",
        "SNMP_ERRORSTATUS_WRONGENCODING",
        "SNMP_ERRORSTATUS_WRONGVALUE",
        "SNMP_ERRORSTATUS_NOCREATION",
        "SNMP_ERRORSTATUS_INCONSISTENTVALUE",
        "SNMP_ERRORSTATUS_RESOURCEUNAVAILABLE",
        "SNMP_ERRORSTATUS_COMMITFAILED",
        "SNMP_ERRORSTATUS_UNDOFAILED",
        "SNMP_ERRORSTATUS_AUTHORIZATIONERROR",
        "SNMP_ERRORSTATUS_NOTWRITABLE",
        "SNMP_ERRORSTATUS_INCONSISTENTNAME",
    };
    if (status < 0 || status > 18) {
        return "";
    }
    return kTexts[status];
}
