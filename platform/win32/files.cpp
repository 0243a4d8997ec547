// The machine's files through Win32 handles: a file created for writing is not shared, a file
// opened for reading may be read by others too.
#include "platform/files.h"

#include "platform/win32/wide_path.h"

#include <cstddef>
#include <vector>

#include <windows.h>

namespace platform {
namespace {

// First buffer for the executable's path; doubled while the path does not fit.
constexpr DWORD kFirstPathBuffer = 260;
constexpr DWORD kLongestPath = 32 * 1024;

class Win32File final : public File {
public:
    explicit Win32File(HANDLE handle) : m_handle(handle) {}
    ~Win32File() override { ::CloseHandle(m_handle); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    bool Size(std::uint64_t& size) override {
        LARGE_INTEGER length{};
        if (!::GetFileSizeEx(m_handle, &length)) return false;
        size = static_cast<std::uint64_t>(length.QuadPart);
        return true;
    }

    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override {
        std::uint32_t done = 0;
        while (done < size) {
            DWORD got = 0;
            if (!::ReadFile(m_handle, buffer + done, size - done, &got, nullptr) || got == 0) break;
            done += got;
        }
        return done;
    }

    std::uint32_t Write(const std::uint8_t* data, std::uint32_t size) override {
        std::uint32_t done = 0;
        while (done < size) {
            DWORD put = 0;
            if (!::WriteFile(m_handle, data + done, size - done, &put, nullptr) || put == 0) break;
            done += put;
        }
        return done;
    }

private:
    HANDLE m_handle;
};

std::unique_ptr<File> OpenFile(std::u16string_view path, DWORD access, DWORD share, DWORD disposition) {
    std::wstring name;
    if (path.empty() || !win32::ToWide(path, name)) return nullptr;
    const HANDLE handle =
        ::CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(handle);
}

class Win32FileSystem final : public FileSystem {
public:
    std::u16string ModulePath() override {
        for (DWORD capacity = kFirstPathBuffer; capacity <= kLongestPath; capacity *= 2) {
            std::vector<wchar_t> buffer(capacity);
            const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), capacity);
            if (length == 0) return {};
            // A path that does not fit is cut and fills the whole buffer.
            if (length < capacity) return win32::FromWide(buffer.data(), length);
        }
        return {};
    }

    char16_t PathSeparator() const override { return u'\\'; }

    std::unique_ptr<File> CreateForWriting(std::u16string_view path) override {
        return OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    }

    std::unique_ptr<File> OpenForReading(std::u16string_view path) override {
        return OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    }

    bool Delete(std::u16string_view path) override {
        std::wstring name;
        return !path.empty() && win32::ToWide(path, name) && ::DeleteFileW(name.c_str()) != 0;
    }
};

}  // namespace

FileSystem& SystemFiles() {
    static Win32FileSystem files;
    return files;
}

}  // namespace platform
