// The machine's files through POSIX descriptors. Sharing is modelled with advisory flock
// locks: a file created for writing holds an exclusive lock, a file opened for reading a
// shared one, and an open that cannot get its lock at once fails.
#include "platform/files.h"

#include "platform/text.h"

#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr mode_t kNewFileMode = 0644;
// First buffer for the executable's path; doubled while the link does not fit.
constexpr std::size_t kFirstPathBuffer = 256;
constexpr std::size_t kLongestPath = 64 * 1024;

class PosixFile final : public File {
public:
    explicit PosixFile(int descriptor) : m_descriptor(descriptor) {}
    ~PosixFile() override { ::close(m_descriptor); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool Size(std::uint64_t& size) override {
        struct stat status {};
        if (::fstat(m_descriptor, &status) != 0) return false;
        size = static_cast<std::uint64_t>(status.st_size);
        return true;
    }

    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override {
        std::uint32_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(m_descriptor, buffer + done, size - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;  // the end of the file, or a failure
            done += static_cast<std::uint32_t>(got);
        }
        return done;
    }

    std::uint32_t Write(const std::uint8_t* data, std::uint32_t size) override {
        std::uint32_t done = 0;
        while (done < size) {
            const ssize_t put = ::write(m_descriptor, data + done, size - done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) break;
            done += static_cast<std::uint32_t>(put);
        }
        return done;
    }

private:
    int m_descriptor;
};

// The path as the system takes it; false for a path it cannot name (an embedded NUL).
bool SystemPath(std::u16string_view path, std::string& out) {
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return false;
    out = ToUtf8(path);
    return true;
}

bool LockNow(int descriptor, int kind) {
    while (::flock(descriptor, kind | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

class PosixFileSystem final : public FileSystem {
public:
    std::u16string ModulePath() override {
        for (std::size_t capacity = kFirstPathBuffer; capacity <= kLongestPath; capacity *= 2) {
            std::vector<char> buffer(capacity);
            const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (length < 0) return {};
            // readlink cuts a long path silently: a full buffer may be a cut one.
            if (static_cast<std::size_t>(length) < buffer.size()) {
                return FromUtf8(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
            }
        }
        return {};
    }

    char16_t PathSeparator() const override { return u'/'; }

    std::unique_ptr<File> CreateForWriting(std::u16string_view path) override {
        std::string name;
        if (!SystemPath(path, name)) return nullptr;
        // Not O_TRUNC: a file someone else holds must not lose its contents to a refused open.
        // It is cut to nothing once the lock is ours.
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, kNewFileMode);
        if (descriptor < 0) return nullptr;
        auto file = std::make_unique<PosixFile>(descriptor);
        if (!LockNow(descriptor, LOCK_EX)) return nullptr;
        if (::ftruncate(descriptor, 0) != 0) return nullptr;
        return file;
    }

    std::unique_ptr<File> OpenForReading(std::u16string_view path) override {
        std::string name;
        if (!SystemPath(path, name)) return nullptr;
        const int descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) return nullptr;
        auto file = std::make_unique<PosixFile>(descriptor);
        if (!LockNow(descriptor, LOCK_SH)) return nullptr;
        return file;
    }

    bool Delete(std::u16string_view path) override {
        std::string name;
        return SystemPath(path, name) && ::unlink(name.c_str()) == 0;
    }
};

}  // namespace

FileSystem& SystemFiles() {
    static PosixFileSystem files;
    return files;
}

}  // namespace platform
