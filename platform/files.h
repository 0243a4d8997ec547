// Files: the running program's path, creating, reading, writing and deleting files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// An open file.
class File {
public:
    virtual ~File() = default;
    // The file's size in bytes; false when it cannot be had.
    virtual bool Size(std::uint64_t& size) = 0;
    // Reads up to `size` bytes from the current position; returns how many were read
    // (fewer at the end of the file or on a failure).
    virtual std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) = 0;
    // Writes at the current position; returns how many bytes were written.
    virtual std::uint32_t Write(const std::uint8_t* data, std::uint32_t size) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Full path of the running executable; empty when it cannot be had.
    virtual std::u16string ModulePath() = 0;
    // The character that separates directories in this system's paths.
    virtual char16_t PathSeparator() const = 0;
    // Creates a file for writing, replacing one of that name, not shared; null on failure.
    virtual std::unique_ptr<File> CreateForWriting(std::u16string_view path) = 0;
    // Opens an existing file for reading, others may read it too; null on failure.
    virtual std::unique_ptr<File> OpenForReading(std::u16string_view path) = 0;
    virtual bool Delete(std::u16string_view path) = 0;
};

// The machine's files.
FileSystem& SystemFiles();

}  // namespace platform
