#include "core/staging/ProfileLine.h"

namespace {

struct NameAndValue {
    std::string name;
    std::string value;
};

NameAndValue SplitLine(std::string_view line) {
    std::size_t searchFrom = 0;
    std::string name;
    bool quoted = !line.empty() && line[0] == '"';
    if (quoted) {
        std::size_t close = line.find('"', 1);
        if (close == std::string_view::npos) {
            return {};
        }
        name = line.substr(1, close - 1);
        searchFrom = close;
    }
    std::size_t equals = line.find('=', searchFrom);
    if (equals == std::string_view::npos) {
        equals = line.size();
    }
    if (!quoted) {
        name = line.substr(0, equals);
    }
    std::string value = equals < line.size() ? std::string(line.substr(equals + 1)) : "";
    return {std::move(name), std::move(value)};
}

}  // namespace

ProfileLine::ProfileLine(std::string section, std::string_view line)
    : m_section(std::move(section)) {
    NameAndValue parts = SplitLine(line);
    m_name = std::move(parts.name);
    m_value = std::move(parts.value);
}

ProfileLine::ProfileLine(std::string section, std::string name, std::string value)
    : m_section(std::move(section)), m_name(std::move(name)), m_value(std::move(value)) {}

MultiSzLine::MultiSzLine(std::string section, std::string_view line)
    : ProfileLine(std::move(section), line), m_items(ParseMultiSzItems(Value())) {}

MultiSzLine::MultiSzLine(std::string section, std::string name, std::string value)
    : ProfileLine(std::move(section), std::move(name), std::move(value)),
      m_items(ParseMultiSzItems(Value())) {}

std::vector<std::string> ParseMultiSzItems(std::string_view value) {
    constexpr std::size_t kPrefixLength = 9;  // "multi_sz:"
    std::vector<std::string> items;
    if (value.size() <= kPrefixLength) {
        return items;
    }
    std::size_t open = value.find('"', kPrefixLength);
    while (open != std::string_view::npos) {
        std::size_t close = value.find('"', open + 1);
        if (close == std::string_view::npos) {
            // Kept rather than dropped: an exclusion that loses its last string
            // would let the very setting it names through.
            items.emplace_back(value.substr(open + 1));
            break;
        }
        items.emplace_back(value.substr(open + 1, close - open - 1));
        open = value.find('"', close + 1);
    }
    return items;
}
