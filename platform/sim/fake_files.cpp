#include "platform/sim/fake_files.h"

#include <algorithm>
#include <cstring>

namespace platform::sim {

namespace {

constexpr std::uint32_t Bit(FileFault fault) { return 1u << static_cast<unsigned>(fault); }

}  // namespace

// A file of the fake file system: reads from a snapshot, writes into the named entry.
class FakeFile final : public File {
public:
    FakeFile(FakeFileSystem& owner, std::u16string path, bool writing)
        : m_owner(owner), m_path(std::move(path)), m_writing(writing) {
        if (!writing) m_snapshot = owner.m_files[m_path];
    }

    bool Size(std::uint64_t& size) override {
        std::lock_guard guard(m_owner.m_lock);
        size = m_writing ? m_owner.m_files[m_path].size() : m_snapshot.size();
        return true;
    }

    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override {
        std::lock_guard guard(m_owner.m_lock);
        if (m_writing) return 0;
        auto count = std::min<std::size_t>(size, m_snapshot.size() - m_position);
        if (m_owner.Has(FileFault::ReadShort)) count = std::min<std::size_t>(count, size / 2);
        if (count > 0) std::memcpy(buffer, m_snapshot.data() + m_position, count);
        m_position += count;
        return static_cast<std::uint32_t>(count);
    }

    std::uint32_t Write(const std::uint8_t* data, std::uint32_t size) override {
        std::lock_guard guard(m_owner.m_lock);
        if (!m_writing || m_owner.Has(FileFault::WriteFails)) return 0;
        auto& bytes = m_owner.m_files[m_path];
        bytes.insert(bytes.end(), data, data + size);
        return size;
    }

private:
    FakeFileSystem& m_owner;
    std::u16string m_path;
    bool m_writing;
    std::vector<std::uint8_t> m_snapshot;
    std::size_t m_position = 0;
};

void FakeFileSystem::Set(FileFault fault, bool on) {
    std::lock_guard guard(m_lock);
    m_faults = on ? (m_faults | Bit(fault)) : (m_faults & ~Bit(fault));
}

bool FakeFileSystem::Has(FileFault fault) const { return (m_faults & Bit(fault)) != 0; }

void FakeFileSystem::Put(const std::u16string& path, std::vector<std::uint8_t> bytes) {
    std::lock_guard guard(m_lock);
    m_files[path] = std::move(bytes);
}

std::optional<std::vector<std::uint8_t>> FakeFileSystem::Get(const std::u16string& path) const {
    std::lock_guard guard(m_lock);
    auto found = m_files.find(path);
    if (found == m_files.end()) return std::nullopt;
    return found->second;
}

bool FakeFileSystem::Exists(const std::u16string& path) const {
    std::lock_guard guard(m_lock);
    return m_files.count(path) != 0;
}

std::vector<std::u16string> FakeFileSystem::Journal() const {
    std::lock_guard guard(m_lock);
    return m_journal;
}

std::unique_ptr<File> FakeFileSystem::CreateForWriting(std::u16string_view path) {
    std::lock_guard guard(m_lock);
    m_journal.push_back(u"create " + std::u16string(path));
    if (Has(FileFault::CreateFails)) return nullptr;
    m_files[std::u16string(path)].clear();
    return std::make_unique<FakeFile>(*this, std::u16string(path), true);
}

std::unique_ptr<File> FakeFileSystem::OpenForReading(std::u16string_view path) {
    std::lock_guard guard(m_lock);
    m_journal.push_back(u"open " + std::u16string(path));
    if (Has(FileFault::OpenFails) || m_files.count(std::u16string(path)) == 0) return nullptr;
    return std::make_unique<FakeFile>(*this, std::u16string(path), false);
}

bool FakeFileSystem::Delete(std::u16string_view path) {
    std::lock_guard guard(m_lock);
    m_journal.push_back(u"delete " + std::u16string(path));
    if (Has(FileFault::DeleteFails)) return false;
    return m_files.erase(std::u16string(path)) != 0;
}

void FakeResources::Put(std::u16string type, std::uint16_t id, std::vector<std::uint8_t> bytes) {
    m_resources[{std::move(type), id}] = std::move(bytes);
}

std::optional<std::span<const std::uint8_t>> FakeResources::Find(std::u16string_view type, std::uint16_t id) {
    auto found = m_resources.find({std::u16string(type), id});
    if (found == m_resources.end()) return std::nullopt;
    return std::span<const std::uint8_t>(found->second);
}

}  // namespace platform::sim
