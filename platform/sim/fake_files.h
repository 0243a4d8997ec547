// An in-memory file system with named failure switches, and a fake resource table.
#pragma once

#include "platform/files.h"
#include "platform/resources.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::sim {

enum class FileFault : std::uint8_t {
    CreateFails,  // no file can be created
    WriteFails,   // writes write nothing
    OpenFails,    // no file can be opened for reading
    ReadShort,    // every read returns at most half of what it asked for
    DeleteFails,
};

class FakeFileSystem final : public FileSystem {
public:
    explicit FakeFileSystem(std::u16string modulePath = u"/opt/quelolink/bin/quelolink", char16_t separator = u'/')
        : m_modulePath(std::move(modulePath)), m_separator(separator) {}

    void Set(FileFault fault, bool on = true);
    void Put(const std::u16string& path, std::vector<std::uint8_t> bytes);
    std::optional<std::vector<std::uint8_t>> Get(const std::u16string& path) const;
    bool Exists(const std::u16string& path) const;
    // What was done, in order: "create <path>", "open <path>", "delete <path>".
    std::vector<std::u16string> Journal() const;

    std::u16string ModulePath() override { return m_modulePath; }
    char16_t PathSeparator() const override { return m_separator; }
    std::unique_ptr<File> CreateForWriting(std::u16string_view path) override;
    std::unique_ptr<File> OpenForReading(std::u16string_view path) override;
    bool Delete(std::u16string_view path) override;

private:
    friend class FakeFile;
    bool Has(FileFault fault) const;  // lock held

    std::u16string m_modulePath;
    char16_t m_separator;
    mutable std::mutex m_lock;
    std::uint32_t m_faults = 0;
    std::map<std::u16string, std::vector<std::uint8_t>> m_files;
    std::vector<std::u16string> m_journal;
};

class FakeResources final : public ResourceSource {
public:
    void Put(std::u16string type, std::uint16_t id, std::vector<std::uint8_t> bytes);
    std::optional<std::span<const std::uint8_t>> Find(std::u16string_view type, std::uint16_t id) override;

private:
    std::map<std::pair<std::u16string, std::uint16_t>, std::vector<std::uint8_t>> m_resources;
};

}  // namespace platform::sim
