#include "regfilter/RegistryExport.h"

#include <algorithm>

namespace regfilter {
namespace {

template <typename Char>
using Text = std::basic_string<Char>;
template <typename Char>
using View = std::basic_string_view<Char>;

template <typename Char>
Char FoldCase(Char c) {
    return c >= Char('A') && c <= Char('Z') ? Char(c - Char('A') + Char('a')) : c;
}

template <typename Char>
bool EqualNoCase(View<Char> a, View<Char> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) {
               return FoldCase(x) == FoldCase(y);
           });
}

template <typename Char>
bool IsBlank(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\r');
}

template <typename Char>
View<Char> Trim(View<Char> text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

template <typename Char>
Text<Char> Widen(std::string_view ascii) {
    return Text<Char>(ascii.begin(), ascii.end());
}

// UTF-8 to the text's own code units; a malformed byte stands for itself.
template <typename Char>
Text<Char> FromUtf8(std::string_view utf8) {
    if constexpr (sizeof(Char) == 1) {
        return Text<Char>(utf8);
    } else {
        Text<Char> out;
        for (std::size_t i = 0; i < utf8.size();) {
            auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[i + k]); };
            char32_t cp = byte(0);
            std::size_t length = 1;
            auto continuation = [&](std::size_t count) {
                if (i + count >= utf8.size()) {
                    return false;
                }
                for (std::size_t k = 1; k <= count; ++k) {
                    if ((byte(k) & 0xC0) != 0x80) {
                        return false;
                    }
                }
                return true;
            };
            if (cp >= 0xF0 && cp < 0xF8 && continuation(3)) {
                cp = ((cp & 0x07) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
                     (byte(3) & 0x3Fu);
                length = 4;
            } else if (cp >= 0xE0 && cp < 0xF0 && continuation(2)) {
                cp = ((cp & 0x0F) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
                length = 3;
            } else if (cp >= 0xC0 && cp < 0xE0 && continuation(1)) {
                cp = ((cp & 0x1F) << 6) | (byte(1) & 0x3Fu);
                length = 2;
            }
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out += Char(0xD800 + (cp >> 10));
                out += Char(0xDC00 + (cp & 0x3FF));
            } else {
                out += Char(cp);
            }
            i += length;
        }
        return out;
    }
}

template <typename Char>
struct Rule {
    Text<Char> keyPath;
    Text<Char> valueName;
    bool wholeKey;
};

// A key path as the rules compare it: no brackets, no blanks, no final "\".
template <typename Char>
View<Char> NormalKeyPath(View<Char> path) {
    path = Trim(path);
    if (path.size() >= 2 && path.front() == Char('[') && path.back() == Char(']')) {
        path = Trim(path.substr(1, path.size() - 2));
    }
    while (!path.empty() && path.back() == Char('\\')) {
        path.remove_suffix(1);
    }
    return path;
}

template <typename Char>
std::vector<Rule<Char>> MakeRules(const std::vector<Exclusion>& exclusions) {
    std::vector<Rule<Char>> rules;
    for (const Exclusion& e : exclusions) {
        Text<Char> key = FromUtf8<Char>(e.keyPath);
        Text<Char> name = FromUtf8<Char>(e.valueName);
        View<Char> path = NormalKeyPath<Char>(key);
        if (path.empty()) {
            continue;  // names no key: matches nothing
        }
        bool wholeKey = name.empty() || name == Widen<Char>("*");
        rules.push_back({Text<Char>(path), std::move(name), wholeKey});
    }
    return rules;
}

// True when `path` is `key` or lies below it.
template <typename Char>
bool IsAtOrBelow(View<Char> path, View<Char> key) {
    if (path.size() < key.size() || !EqualNoCase(path.substr(0, key.size()), key)) {
        return false;
    }
    return path.size() == key.size() || path[key.size()] == Char('\\');
}

// The key path of a "[path]" line; a "[-path]" line (which deletes the key)
// counts as its key too, since removing the key must also leave it untouched.
template <typename Char>
View<Char> KeyPathOf(View<Char> trimmed) {
    View<Char> inside = trimmed.substr(1);
    std::size_t close = inside.rfind(Char(']'));
    if (close != View<Char>::npos) {
        inside = inside.substr(0, close);
    }
    inside = Trim(inside);
    if (!inside.empty() && inside.front() == Char('-')) {
        inside.remove_prefix(1);
    }
    return NormalKeyPath(inside);
}

// The value name of a "name"=data or @=data line, unescaped; nothing for any
// other line.
template <typename Char>
std::optional<Text<Char>> ValueNameOf(View<Char> trimmed) {
    Text<Char> name;
    std::size_t after = 0;
    if (trimmed.front() == Char('@')) {
        name = Widen<Char>("@");
        after = 1;
    } else if (trimmed.front() == Char('"')) {
        std::size_t i = 1;
        for (; i < trimmed.size() && trimmed[i] != Char('"'); ++i) {
            if (trimmed[i] == Char('\\') && i + 1 < trimmed.size()) {
                ++i;
            }
            name += trimmed[i];
        }
        if (i >= trimmed.size()) {
            return std::nullopt;
        }
        after = i + 1;
    } else {
        return std::nullopt;
    }
    View<Char> rest = Trim(trimmed.substr(after));
    if (rest.empty() || rest.front() != Char('=')) {
        return std::nullopt;
    }
    return name;
}

template <typename Char>
bool IsHeader(View<Char> trimmed) {
    return EqualNoCase<Char>(trimmed, Widen<Char>("REGEDIT4")) ||
           EqualNoCase<Char>(trimmed, Widen<Char>("Windows Registry Editor Version 5.00"));
}

template <typename Char>
std::optional<Text<Char>> FilterLines(View<Char> text, const std::vector<Rule<Char>>& rules,
                                      FilterCounts& counts) {
    Text<Char> out;
    out.reserve(text.size());
    bool headerSeen = false;
    bool inRemovedKey = false;
    bool continues = false;  // the previous value line goes on in this one
    bool valueRemoved = false;
    Text<Char> key;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t newline = text.find(Char('\n'), start);
        std::size_t end = newline == View<Char>::npos ? text.size() : newline + 1;
        View<Char> raw = text.substr(start, end - start);
        View<Char> trimmed =
            Trim(raw.substr(0, raw.size() - (newline == View<Char>::npos ? 0 : 1)));
        start = end;

        if (!headerSeen) {
            if (!IsHeader(trimmed)) {
                return std::nullopt;
            }
            headerSeen = true;
            out += raw;
            continue;
        }
        bool startsKey = !trimmed.empty() && trimmed.front() == Char('[');
        if (continues && !trimmed.empty() && !startsKey) {
            continues = trimmed.back() == Char('\\');
            if (!valueRemoved && !inRemovedKey) {
                out += raw;
            }
            continue;
        }
        continues = false;
        if (startsKey) {
            key = Text<Char>(KeyPathOf(trimmed));
            inRemovedKey = std::any_of(rules.begin(), rules.end(), [&](const Rule<Char>& r) {
                return r.wholeKey && IsAtOrBelow<Char>(key, r.keyPath);
            });
            if (inRemovedKey) {
                ++counts.removedKeys;
            } else {
                out += raw;
            }
            continue;
        }
        if (inRemovedKey) {
            continue;
        }
        if (!trimmed.empty()) {
            if (auto name = ValueNameOf(trimmed)) {
                continues = trimmed.back() == Char('\\');
                valueRemoved = std::any_of(rules.begin(), rules.end(), [&](const Rule<Char>& r) {
                    return !r.wholeKey && EqualNoCase<Char>(key, r.keyPath) &&
                           EqualNoCase<Char>(*name, r.valueName);
                });
                if (valueRemoved) {
                    ++counts.removedValues;
                    continue;
                }
            }
        }
        out += raw;
    }
    if (!headerSeen) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> FilterUtf16(std::string_view bytes, bool littleEndian,
                                       const std::vector<Exclusion>& exclusions,
                                       FilterCounts& counts) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        auto lo = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
        auto hi = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
        text += static_cast<char16_t>(lo | (hi << 8));
    }
    auto filtered = FilterLines<char16_t>(text, MakeRules<char16_t>(exclusions), counts);
    if (!filtered) {
        return std::nullopt;
    }
    std::string out(bytes.substr(0, 2));
    for (char16_t unit : *filtered) {
        char lo = static_cast<char>(unit & 0xFF);
        char hi = static_cast<char>(unit >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    if (bytes.size() % 2 != 0) {
        out += bytes.back();  // a stray last byte is copied too
    }
    return out;
}

}  // namespace

std::optional<std::string> FilterRegistryExport(std::string_view bytes,
                                                const std::vector<Exclusion>& exclusions,
                                                FilterCounts& counts) {
    counts = {};
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        return FilterUtf16(bytes, true, exclusions, counts);
    }
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        return FilterUtf16(bytes, false, exclusions, counts);
    }
    std::size_t bom = bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF ? 3 : 0;
    auto filtered = FilterLines<char>(bytes.substr(bom), MakeRules<char>(exclusions), counts);
    if (!filtered) {
        return std::nullopt;
    }
    return std::string(bytes.substr(0, bom)) + *filtered;
}

}  // namespace regfilter
