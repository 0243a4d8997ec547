// Files on POSIX: paths are UTF-8 on disk, locks by flock stand for Windows' share modes.
#include "platform/files.h"
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class PosixFile final : public File {
public:
    explicit PosixFile(int fd) : m_fd(fd) {}
    ~PosixFile() override { ::close(m_fd); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool Size(std::uint64_t& size) override {
        struct stat info {};
        if (::fstat(m_fd, &info) != 0) return false;
        size = static_cast<std::uint64_t>(info.st_size);
        return true;
    }

    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override {
        std::uint32_t done = 0;
        while (done < size) {
            const auto got = ::read(m_fd, buffer + done, size - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<std::uint32_t>(got);
        }
        return done;
    }

    std::uint32_t Write(const std::uint8_t* data, std::uint32_t size) override {
        std::uint32_t done = 0;
        while (done < size) {
            const auto put = ::write(m_fd, data + done, size - done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) break;
            done += static_cast<std::uint32_t>(put);
        }
        return done;
    }

private:
    int m_fd;
};

// Opens and locks; the lock stands for the share mode: exclusive for writing, shared for reading.
std::unique_ptr<File> OpenLocked(std::u16string_view path, int flags, int lock) {
    const auto name = ToUtf8(path);
    if (name.empty()) return nullptr;
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
}

class PosixFileSystem final : public FileSystem {
public:
    std::u16string ModulePath() override {
        char path[PATH_MAX];
        const auto length = ::readlink("/proc/self/exe", path, sizeof path - 1);
        if (length <= 0) return {};
        return FromUtf8(std::string_view(path, static_cast<std::size_t>(length)));
    }

    char16_t PathSeparator() const override { return u'/'; }

    std::unique_ptr<File> CreateForWriting(std::u16string_view path) override {
        // Locked before truncating, so a file that someone holds is not emptied under them.
        auto file = OpenLocked(path, O_WRONLY | O_CREAT, LOCK_EX);
        if (!file) return nullptr;
        const auto name = ToUtf8(path);
        if (::truncate(name.c_str(), 0) != 0) return nullptr;
        return file;
    }

    std::unique_ptr<File> OpenForReading(std::u16string_view path) override {
        return OpenLocked(path, O_RDONLY, LOCK_SH);
    }

    bool Delete(std::u16string_view path) override {
        const auto name = ToUtf8(path);
        return !name.empty() && ::unlink(name.c_str()) == 0;
    }
};

}  // namespace

FileSystem& SystemFiles() {
    static PosixFileSystem files;
    return files;
}

}  // namespace platform
