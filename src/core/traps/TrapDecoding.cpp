#include "core/traps/TrapDecoding.h"

#include <array>

#include "core/common/StringTable.h"
#include "core/common/TextFormat.h"

namespace {

constexpr int kAsnTypeNotInteger = 132;
constexpr int kReasonNotFound = 133;

// Reason value -> message number.
constexpr std::array<int, 30> kReasons = {116, 117, 118, 119, 120, 121, 122, 123, 124, 125,
                                          126, 127, 129, 130, 131, 134, 135, 136, 137, 138,
                                          139, 144, 145, 146, 147, 188, 189, 190, 197, 198};

std::string Unknown(int generic, int specific) {
    return FormatText("Unknown Trap generic=%d private=%d", generic, specific);
}

}  // namespace

TrapMeaning TrapTableLine(int generic, int specific) {
    if (generic >= 0 && generic <= 4) {
        return {LoadResString(105 + generic), -1};
    }
    if (generic != 6) {
        return {Unknown(generic, specific), -1};
    }
    int reason = TrapReasonIndex(generic, specific);
    switch (specific) {
        case 1:
            return {LoadResString(110), reason};
        case 2:
            return {LoadResString(111), reason};
        case 3:
            return {LoadResString(112), reason};
        case 4:
            return {LoadResString(113), reason};
        case 5:
            return {LoadResString(114), reason};
        case 6:
            return {LoadResString(115), reason};
        case 7:
            return {LoadResString(140), reason};
        default:
            return {Unknown(6, specific), reason};
    }
}

int TrapReasonIndex(int generic, int specific) {
    if (generic != 6) {
        return -1;
    }
    switch (specific) {
        case 3:
            return 6;
        case 6:
            return 1;
        case 7:
            return 0;
        default:
            return -1;
    }
}

int TrapReasonText(const SnmpVarBindList& bindings, std::size_t index) {
    if (index >= bindings.size() || bindings[index].value.type != asn::kInteger) {
        return kAsnTypeNotInteger;
    }
    long long value = bindings[index].value.integer;
    if (value < 0 || value >= static_cast<long long>(kReasons.size())) {
        return kReasonNotFound;
    }
    return kReasons[static_cast<std::size_t>(value)];
}

std::string FormatAgentAddress(const std::uint8_t* bytes) {
    return FormatText("%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
}

bool IsUsableAgentAddress(const std::vector<std::uint8_t>& address) {
    return address.size() == 4 &&
           (address[0] != 0 || address[1] != 0 || address[2] != 0 || address[3] != 0);
}
