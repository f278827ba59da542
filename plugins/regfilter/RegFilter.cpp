// The configuration filter plug-in: libRegFilter.so.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/staging/FilterIniFileTypes.h"
#include "core/staging/RegistryFilter.h"
#include "regfilter/RegistryExport.h"

namespace {

using namespace FilterIniFileTypes;

// The buffer when the console asks for none: large enough for any terminal's
// configuration we know of, small enough to refuse a file that is not one.
constexpr std::int32_t kDefaultBufferSize = 4 * 1024 * 1024;

enum class ReadFailure { None, Missing, Unreadable, TooLarge };

// Reads a whole regular file of at most `limit` bytes.
ReadFailure ReadWholeFile(const std::string& path, std::size_t limit, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadFailure::Missing : ReadFailure::Unreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadFailure::Unreadable;
    }
    if (static_cast<std::size_t>(st.st_size) > limit) {
        ::close(fd);
        return ReadFailure::TooLarge;
    }
    bytes.clear();
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return ReadFailure::Unreadable;
        }
        if (n == 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (bytes.size() > limit) {  // it grew while we read
            ::close(fd);
            return ReadFailure::TooLarge;
        }
    }
    ::close(fd);
    return ReadFailure::None;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return a == b || (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
                      sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino);
}

// Writes the output beside its final place and renames it there, so a failed
// run leaves no partial file; created owner-only, as it may hold credentials.
bool WriteOutput(const std::string& path, const std::string& bytes) {
    std::size_t slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = directory + "/." + name + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    bool ok = done == bytes.size();
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

class RegFilter final : public RegistryFilter {
public:
    RegFilter(std::string input, const std::string& templateFile, std::string output,
              std::int32_t bufferSize)
        : m_output(std::move(output)),
          m_bufferSize(bufferSize > 0 ? bufferSize : kDefaultBufferSize) {
        auto limit = static_cast<std::size_t>(m_bufferSize);
        switch (ReadWholeFile(input, limit, m_input)) {
            case ReadFailure::None:
                break;
            case ReadFailure::Missing:
                throw InfileNotFoundEx();
            case ReadFailure::Unreadable:
                throw InfileReadEx();
            case ReadFailure::TooLarge:
                throw InfileOutOfMem();
        }
        // The template must be there and fit, though the filter takes nothing
        // from it: an installation without its template is incomplete.
        std::string templateBytes;
        switch (ReadWholeFile(templateFile, limit, templateBytes)) {
            case ReadFailure::None:
                break;
            case ReadFailure::Missing:
            case ReadFailure::Unreadable:
                throw TemplFileNotFoundEx();
            case ReadFailure::TooLarge:
                throw TemplOutOfMem();
        }
        // Writing the output over the input would destroy the stored configuration.
        if (SameFile(input, m_output)) {
            throw InfileWriteEx();
        }
    }

    int AddExclusion(const char* keyPath, const char* valueName) override {
        m_exclusions.push_back({keyPath ? keyPath : "", valueName ? valueName : ""});
        return ExclusionCount();
    }
    int ExclusionCount() const override { return static_cast<int>(m_exclusions.size()); }
    std::int32_t BufferSize() const override { return m_bufferSize; }
    int RemovedKeys() const override { return m_counts.removedKeys; }
    int RemovedValues() const override { return m_counts.removedValues; }

    void Run() override {
        auto filtered = regfilter::FilterRegistryExport(m_input, m_exclusions, m_counts);
        if (!filtered) {
            throw InfileReadEx();  // not a registry export: nothing could be filtered
        }
        if (!WriteOutput(m_output, *filtered)) {
            throw OutfileWriteEx();
        }
    }

private:
    std::string m_output;
    std::int32_t m_bufferSize;
    std::string m_input;
    std::vector<regfilter::Exclusion> m_exclusions;
    regfilter::FilterCounts m_counts;
};

}  // namespace

extern "C" RegistryFilter* C_CreateFilter(const char* inputFile, const char* templateFile,
                                          const char* outputFile, std::int32_t bufferSize) {
    return new RegFilter(inputFile ? inputFile : "", templateFile ? templateFile : "",
                         outputFile ? outputFile : "", bufferSize);
}
