#include "TrapSender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "NetworkTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Element(std::uint8_t tag, const Bytes& contents) {
    std::size_t n = contents.size();
    Bytes out;
    out.reserve(n + 5);
    out.push_back(tag);
    if (n >= 0x80) {
        out.push_back(0x83);
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
    }
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

Bytes Integer(std::uint8_t tag, long value) {
    Bytes bytes;
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    // Two's complement in the fewest bytes.
    while (bytes.size() > 1 && ((bytes[0] == 0x00 && (bytes[1] & 0x80) == 0) ||
                                (bytes[0] == 0xff && (bytes[1] & 0x80) != 0))) {
        bytes.erase(bytes.begin());
    }
    return Element(tag, bytes);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> RawV1Trap::Encode() const {
    const Bytes enterprise =
        Element(0x06, {0x2b, 6, 1, 4, 1, 0x81, 0xfd, 0x59});  // .1.3.6.1.4.1.32473
    Bytes all;
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        Bytes name = {0x2b, 6, 1, 4, 1, 0x81, 0xfd, 0x59, 5, static_cast<std::uint8_t>(i + 1)};
        const auto* text = std::get_if<std::string>(&bindings[i]);
        Bytes value = text ? Element(0x04, Bytes(text->begin(), text->end()))
                           : Integer(0x02, std::get<long>(bindings[i]));
        all = Concat({all, Element(0x30, Concat({Element(0x06, name), value}))});
    }
    const Bytes tiny = {0x30, 0x05, 0x06, 0x01, 0x2b, 0x05, 0x00};
    for (std::size_t i = 0; i < tinyBindings; ++i) {
        all.insert(all.end(), tiny.begin(), tiny.end());
    }
    Bytes pdu = Concat({enterprise, Element(0x40, agentAddress), Integer(0x02, generic),
                        Integer(0x02, specific), Integer(0x43, 4711), Element(0x30, all)});
    return Element(0x30, Concat({Integer(0x02, 0), Element(0x04, {'p', 'u', 'b', 'l', 'i', 'c'}),
                                 Element(0xa4, pdu)}));
}

bool SendDatagram(const std::vector<std::uint8_t>& bytes, unsigned port, const std::string& host) {
    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &to.sin_addr);
    ssize_t sent =
        ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    ::close(s);
    return sent == static_cast<ssize_t>(bytes.size());
}

bool SendTrap(unsigned port, const std::string& agent, int generic, int specific,
              std::vector<std::variant<long, std::string>> bindings) {
    in_addr address{};
    ::inet_pton(AF_INET, agent.c_str(), &address);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&address);
    RawV1Trap trap{{bytes, bytes + 4}, generic, specific, std::move(bindings)};
    return SendDatagram(trap.Encode(), port);
}

std::vector<std::string> SnmptrapV1(unsigned port, const std::string& agentAddress, int generic,
                                    int specific, const std::vector<TrapBindingText>& bindings,
                                    const std::string& community) {
    std::string program = FindProgram("snmptrap");
    if (program.empty()) {
        return {};
    }
    std::vector<std::string> argv =
        Words(program + " -v1 -c " + community + " -On 127.0.0.1:" + std::to_string(port) +
              " .1.3.6.1.4.1.32473 " + agentAddress + " " + std::to_string(generic) + " " +
              std::to_string(specific) + " 4711");
    for (const auto& b : bindings) {
        argv.push_back(b.oid);
        argv.push_back(std::string(1, b.type));
        argv.push_back(b.value);
    }
    return argv;
}
