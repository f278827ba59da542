#include "core/settings/ProfileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "core/settings/ProfileDocument.h"
#include "core/settings/ProfileFileAccess.h"

namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be };

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

Encoding DetectEncoding(const std::string& bytes) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        return Encoding::Utf16Le;
    }
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        return Encoding::Utf16Be;
    }
    if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        return Encoding::Utf8Bom;
    }
    return Encoding::Utf8;
}

std::string DecodeUtf16(const std::string& bytes, bool littleEndian) {
    std::string out;
    auto unit = [&](std::size_t i) -> char16_t {
        auto lo = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
        auto hi = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
        return static_cast<char16_t>(lo | (hi << 8));
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string EncodeUtf16(const std::string& text, bool littleEndian) {
    std::string out;
    auto put = [&](char16_t u) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    };
    put(0xFEFF);
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = c;
        std::size_t len = 1;
        if (c >= 0xF0 && i + 3 < text.size()) {
            cp = ((c & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) |
                 ((text[i + 2] & 0x3Fu) << 6) | (text[i + 3] & 0x3Fu);
            len = 4;
        } else if (c >= 0xE0 && i + 2 < text.size()) {
            cp = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < text.size()) {
            cp = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
            len = 2;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

struct CachedFile {
    FileStamp stamp;
    Encoding encoding = Encoding::Utf8;
    ProfileDocument document;
};

// What loading a file gave: its document, or why there is none. A missing file
// reads as empty and is created by the first write; any other problem makes
// reads find nothing and writes refuse.
struct LoadedFile {
    CachedFile* file = nullptr;
    bool missing = false;
    std::optional<std::string> problem;
};

class FileCache {
public:
    // Runs `fn` on the file as it is on disk now, from the cache when unchanged.
    template <typename Fn>
    auto WithFile(const std::string& path, Fn&& fn) {
        std::lock_guard lock(m_mutex);
        LoadedFile loaded = Load(path, false);
        return fn(loaded);
    }

    // The same, always reading the file afresh: a change must start from what
    // another process may have written a moment ago.
    template <typename Fn>
    auto WithFreshFile(const std::string& path, Fn&& fn) {
        std::lock_guard lock(m_mutex);
        LoadedFile loaded = Load(path, true);
        return fn(loaded);
    }

private:
    // Callers hold m_mutex.
    LoadedFile Load(const std::string& path, bool fresh) {
        auto it = m_files.find(path);
        if (!fresh && it != m_files.end()) {
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                it->second.stamp == StampFrom(st)) {
                return LoadedFile{&it->second, false, std::nullopt};
            }
        }
        FileBytes read = ReadProfileFile(path);
        if (read.problem) {
            // Nothing of a failed load is kept: the next read tries again.
            if (it != m_files.end()) {
                m_files.erase(it);
            }
            return LoadedFile{nullptr, read.missing, read.problem};
        }
        CachedFile& slot = m_files[path];
        slot.stamp = read.stamp;
        slot.encoding = DetectEncoding(read.bytes);
        slot.document = ProfileDocument::Parse(DecodeProfileText(read.bytes));
        return LoadedFile{&slot, false, std::nullopt};
    }

    std::mutex m_mutex;
    std::map<std::string, CachedFile> m_files;
};

std::string Encode(const std::string& text, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf16Le:
            return EncodeUtf16(text, true);
        case Encoding::Utf16Be:
            return EncodeUtf16(text, false);
        case Encoding::Utf8Bom:
            return "\xEF\xBB\xBF" + text;
        case Encoding::Utf8:
            break;
    }
    return text;
}

// The file a write must replace: the target of a symbolic link, so the link stays.
std::string WriteTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) {
        return resolved;
    }
    return path;
}

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes `bytes` to a temporary file beside `path` and renames it over `path`.
std::optional<std::string> ReplaceFile(const std::string& path, const std::string& bytes) {
    std::string target = WriteTarget(path);
    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        return ErrnoText(errno);
    }
    std::string base =
        target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
    std::string temp = DirectoryOf(target) + "/." + base + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return ErrnoText(errno);
    }
    mode_t mode = exists ? (st.st_mode & 07777) : 0600;
    auto fail = [&](int error) -> std::optional<std::string> {
        ::close(fd);
        ::unlink(temp.c_str());
        return ErrnoText(error);
    };
    if (::fchmod(fd, mode) != 0) {
        return fail(errno);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        return fail(errno);
    }
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return ErrnoText(error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return ErrnoText(error);
    }
    return std::nullopt;
}

// Applies `change` to the file as it is on disk and writes it back under the
// lock, so that writers in other processes never undo each other's changes. A
// file that exists but cannot be read is left alone: replacing it would lose
// whatever it holds. The cache keeps the old text when the write fails, so
// memory never disagrees with the disk.
template <typename Change>
std::optional<std::string> Modify(FileCache& cache, const std::string& path, Change&& change) {
    // Checked before the lock too, so that no lock file appears beside a directory.
    FileCheck check = CheckProfileFile(path);
    if (check.problem && !check.missing) {
        return check.problem;
    }
    ProfileFileLock lock(WriteTarget(path));
    if (lock.Problem()) {
        return lock.Problem();
    }
    return cache.WithFreshFile(path, [&](LoadedFile& loaded) -> std::optional<std::string> {
        if (loaded.problem && !loaded.missing) {
            return loaded.problem;
        }
        CachedFile updated = loaded.file ? *loaded.file : CachedFile{};
        if (!change(updated.document)) {
            return std::nullopt;
        }
        if (auto error =
                ReplaceFile(path, Encode(updated.document.Serialize(), updated.encoding))) {
            return error;
        }
        // The cache holds what was written, under the new file's stamp (a
        // file that was missing is loaded by the next read).
        if (loaded.file) {
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0) {
                updated.stamp = StampFrom(st);
                *loaded.file = std::move(updated);
            }
        }
        return std::nullopt;
    });
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

class ProfileStore::Cache : public FileCache {};

ProfileStore::ProfileStore() : m_cache(std::make_unique<Cache>()) {}
ProfileStore::~ProfileStore() = default;

std::string DecodeProfileText(const std::string& bytes) {
    switch (DetectEncoding(bytes)) {
        case Encoding::Utf16Le:
            return DecodeUtf16(bytes, true);
        case Encoding::Utf16Be:
            return DecodeUtf16(bytes, false);
        case Encoding::Utf8Bom:
            return bytes.substr(3);
        case Encoding::Utf8:
            break;
    }
    return bytes;
}

std::optional<std::string> ProfileStore::Read(const std::string& path, const std::string& section,
                                              const std::string& key) {
    return Lookup(path, section, key).value;
}

ProfileLookup ProfileStore::Lookup(const std::string& path, const std::string& section,
                                   const std::string& key) {
    return m_cache->WithFile(path, [&](LoadedFile& loaded) {
        ProfileLookup lookup;
        if (loaded.file) {
            lookup.value = loaded.file->document.Get(section, key);
        }
        lookup.fileProblem = loaded.problem;
        return lookup;
    });
}

std::vector<std::string> ProfileStore::ReadSectionLines(const std::string& path,
                                                        const std::string& section) {
    return m_cache->WithFile(path, [&](LoadedFile& loaded) {
        return loaded.file ? loaded.file->document.SectionLines(section)
                           : std::vector<std::string>{};
    });
}

std::optional<std::string> ProfileStore::Write(const std::string& path, const std::string& section,
                                               const std::string& key, const std::string& value) {
    return WriteValues(path, section, {{key, value}});
}

std::optional<std::string> ProfileStore::WriteValues(
    const std::string& path, const std::string& section,
    const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values) {
        // A line break would split the entry and turn the rest into a line of its own.
        if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
            return std::string("a line break cannot be stored in a setting");
        }
        std::string_view trimmedKey = TrimBlanks(key);
        if (section.find(']') != std::string::npos || key.find('=') != std::string::npos ||
            trimmedKey.empty() || trimmedKey[0] == '[' || trimmedKey[0] == ';') {
            return std::string("the section or key name is not valid");
        }
    }
    return Modify(*m_cache, path, [&](ProfileDocument& doc) {
        for (const auto& [key, value] : values) {
            doc.Set(section, key, value);
        }
        return true;
    });
}

std::optional<std::string> ProfileStore::DeleteSection(const std::string& path,
                                                       const std::string& section) {
    return Modify(*m_cache, path, [&](ProfileDocument& doc) { return doc.DeleteSection(section); });
}
