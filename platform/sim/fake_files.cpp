#include "platform/sim/fake_files.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace platform::sim {

// One file's bytes and who holds it open. An open file keeps its entry after the name is deleted.
struct FakeFileSystem::Entry {
    std::vector<std::uint8_t> bytes;
    int readers = 0;
    bool writer = false;
};

// Shared with the open files, so a file may outlive the file system that made it.
struct FakeFileSystem::State {
    bool Has(FileFault fault, const std::u16string& path) const {
        return faults.count(fault) != 0 || pathFaults.count({fault, path}) != 0;
    }
    void Record(FileOperation operation, std::u16string_view path, bool succeeded) {
        events.push_back(FileEvent{operation, std::u16string(path), succeeded});
    }

    mutable std::mutex lock;
    std::u16string modulePath;
    char16_t separator = u'/';
    std::set<FileFault> faults;
    std::set<std::pair<FileFault, std::u16string>> pathFaults;
    std::map<std::u16string, std::shared_ptr<Entry>, std::less<>> files;
    std::vector<FileEvent> events;
    int openFiles = 0;
};

class FakeFile final : public File {
public:
    FakeFile(std::shared_ptr<FakeFileSystem::State> state, std::shared_ptr<FakeFileSystem::Entry> entry,
             std::u16string path, bool writing)
        : m_state(std::move(state)), m_entry(std::move(entry)), m_path(std::move(path)), m_writing(writing) {}

    ~FakeFile() override {
        std::lock_guard guard(m_state->lock);
        if (m_writing) {
            m_entry->writer = false;
        } else {
            --m_entry->readers;
        }
        --m_state->openFiles;
    }
    FakeFile(const FakeFile&) = delete;
    FakeFile& operator=(const FakeFile&) = delete;

    bool Size(std::uint64_t& size) override {
        std::lock_guard guard(m_state->lock);
        if (m_state->Has(FileFault::SizeFails, m_path)) return false;
        size = m_entry->bytes.size();
        return true;
    }

    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size) override {
        std::lock_guard guard(m_state->lock);
        if (m_writing) return 0;  // opened for writing only
        const auto& bytes = m_entry->bytes;
        std::size_t count = m_position < bytes.size() ? std::min<std::size_t>(size, bytes.size() - m_position) : 0;
        if (m_state->Has(FileFault::ReadShort, m_path)) count /= 2;
        if (count > 0) std::memcpy(buffer, bytes.data() + m_position, count);
        m_position += count;
        return static_cast<std::uint32_t>(count);
    }

    std::uint32_t Write(const std::uint8_t* data, std::uint32_t size) override {
        std::lock_guard guard(m_state->lock);
        if (!m_writing || m_state->Has(FileFault::WriteFails, m_path)) return 0;
        const std::size_t count = m_state->Has(FileFault::WriteShort, m_path) ? size / 2 : size;
        auto& bytes = m_entry->bytes;
        if (bytes.size() < m_position + count) bytes.resize(m_position + count);
        if (count > 0) std::memcpy(bytes.data() + m_position, data, count);
        m_position += count;
        return static_cast<std::uint32_t>(count);
    }

private:
    std::shared_ptr<FakeFileSystem::State> m_state;
    std::shared_ptr<FakeFileSystem::Entry> m_entry;
    std::u16string m_path;
    bool m_writing;
    std::size_t m_position = 0;
};

FakeFileSystem::FakeFileSystem(std::u16string modulePath, char16_t separator) : m_state(std::make_shared<State>()) {
    m_state->modulePath = std::move(modulePath);
    m_state->separator = separator;
}

FakeFileSystem::~FakeFileSystem() = default;

void FakeFileSystem::SetModulePath(std::u16string path) {
    std::lock_guard guard(m_state->lock);
    m_state->modulePath = std::move(path);
}

void FakeFileSystem::SetPathSeparator(char16_t separator) {
    std::lock_guard guard(m_state->lock);
    m_state->separator = separator;
}

void FakeFileSystem::Set(FileFault fault, bool on) {
    std::lock_guard guard(m_state->lock);
    if (on) {
        m_state->faults.insert(fault);
    } else {
        m_state->faults.erase(fault);
    }
}

void FakeFileSystem::SetForPath(FileFault fault, std::u16string_view path, bool on) {
    std::lock_guard guard(m_state->lock);
    std::pair<FileFault, std::u16string> key{fault, std::u16string(path)};
    if (on) {
        m_state->pathFaults.insert(std::move(key));
    } else {
        m_state->pathFaults.erase(key);
    }
}

void FakeFileSystem::Put(std::u16string_view path, std::vector<std::uint8_t> bytes) {
    std::lock_guard guard(m_state->lock);
    auto entry = std::make_shared<Entry>();
    entry->bytes = std::move(bytes);
    m_state->files[std::u16string(path)] = std::move(entry);
}

std::optional<std::vector<std::uint8_t>> FakeFileSystem::Get(std::u16string_view path) const {
    std::lock_guard guard(m_state->lock);
    const auto found = m_state->files.find(path);
    if (found == m_state->files.end()) return std::nullopt;
    return found->second->bytes;
}

bool FakeFileSystem::Exists(std::u16string_view path) const {
    std::lock_guard guard(m_state->lock);
    return m_state->files.find(path) != m_state->files.end();
}

int FakeFileSystem::OpenFiles() const {
    std::lock_guard guard(m_state->lock);
    return m_state->openFiles;
}

std::vector<FileEvent> FakeFileSystem::Events() const {
    std::lock_guard guard(m_state->lock);
    return m_state->events;
}

std::vector<std::u16string> FakeFileSystem::Journal() const {
    std::vector<std::u16string> lines;
    for (const FileEvent& event : Events()) {
        switch (event.operation) {
            case FileOperation::Create: lines.push_back(u"create " + event.path); break;
            case FileOperation::Open: lines.push_back(u"open " + event.path); break;
            case FileOperation::Delete: lines.push_back(u"delete " + event.path); break;
        }
    }
    return lines;
}

std::vector<std::u16string> FakeFileSystem::PathsOf(FileOperation operation) const {
    std::vector<std::u16string> paths;
    for (const FileEvent& event : Events()) {
        if (event.operation == operation) paths.push_back(event.path);
    }
    return paths;
}

std::vector<std::u16string> FakeFileSystem::Created() const { return PathsOf(FileOperation::Create); }
std::vector<std::u16string> FakeFileSystem::Opened() const { return PathsOf(FileOperation::Open); }
std::vector<std::u16string> FakeFileSystem::Deleted() const { return PathsOf(FileOperation::Delete); }

std::u16string FakeFileSystem::ModulePath() {
    std::lock_guard guard(m_state->lock);
    return m_state->modulePath;
}

char16_t FakeFileSystem::PathSeparator() const {
    std::lock_guard guard(m_state->lock);
    return m_state->separator;
}

std::unique_ptr<File> FakeFileSystem::CreateForWriting(std::u16string_view path) {
    std::lock_guard guard(m_state->lock);
    const std::u16string name(path);
    auto found = m_state->files.find(name);
    const bool held = found != m_state->files.end() && (found->second->writer || found->second->readers > 0);
    if (m_state->Has(FileFault::CreateFails, name) || held) {
        m_state->Record(FileOperation::Create, path, false);
        return nullptr;
    }
    if (found == m_state->files.end()) {
        found = m_state->files.emplace(name, std::make_shared<Entry>()).first;
    }
    found->second->bytes.clear();
    found->second->writer = true;
    ++m_state->openFiles;
    m_state->Record(FileOperation::Create, path, true);
    return std::make_unique<FakeFile>(m_state, found->second, name, true);
}

std::unique_ptr<File> FakeFileSystem::OpenForReading(std::u16string_view path) {
    std::lock_guard guard(m_state->lock);
    const std::u16string name(path);
    const auto found = m_state->files.find(name);
    if (m_state->Has(FileFault::OpenFails, name) || found == m_state->files.end() || found->second->writer) {
        m_state->Record(FileOperation::Open, path, false);
        return nullptr;
    }
    ++found->second->readers;
    ++m_state->openFiles;
    m_state->Record(FileOperation::Open, path, true);
    return std::make_unique<FakeFile>(m_state, found->second, name, false);
}

bool FakeFileSystem::Delete(std::u16string_view path) {
    std::lock_guard guard(m_state->lock);
    const std::u16string name(path);
    const auto found = m_state->files.find(name);
    const bool deleted = !m_state->Has(FileFault::DeleteFails, name) && found != m_state->files.end();
    if (deleted) m_state->files.erase(found);
    m_state->Record(FileOperation::Delete, path, deleted);
    return deleted;
}

}  // namespace platform::sim
