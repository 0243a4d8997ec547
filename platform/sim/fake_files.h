// An in-memory file system with named failure switches and a record of what was done to it.
#pragma once

#include "platform/files.h"
// Tests of the built-in image fake both the files and the resources; this header brings both.
#include "platform/sim/fake_resources.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::sim {

// What can go wrong with the fake files; each is a switch for every path or for one path.
enum class FileFault : std::uint8_t {
    CreateFails,  // CreateForWriting gives no file, and an existing file keeps its bytes
    WriteFails,   // a write writes nothing
    WriteShort,   // a write writes half of its bytes (rounded down)
    OpenFails,    // OpenForReading gives no file
    SizeFails,    // Size reports a failure
    ReadShort,    // a read gives half of what it would give otherwise (rounded down)
    DeleteFails,  // Delete fails and the file stays
};

enum class FileOperation : std::uint8_t { Create, Open, Delete };

// One call of CreateForWriting, OpenForReading or Delete, whether it worked or not.
struct FileEvent {
    FileOperation operation;
    std::u16string path;
    bool succeeded;
    friend bool operator==(const FileEvent&, const FileEvent&) = default;
};

// Paths are compared as they are given (no directories, no case folding). A file created for
// writing is not shared: while it is open, no one else can create or open it. Files opened for
// reading share the file with each other but keep it from being created. Deleting an open file
// works, as on POSIX: the open file keeps its bytes, the name is gone.
class FakeFileSystem final : public FileSystem {
public:
    explicit FakeFileSystem(std::u16string modulePath = u"/opt/quelolink/bin/quelolink", char16_t separator = u'/');
    ~FakeFileSystem() override;
    FakeFileSystem(const FakeFileSystem&) = delete;
    FakeFileSystem& operator=(const FakeFileSystem&) = delete;

    void SetModulePath(std::u16string path);
    void SetPathSeparator(char16_t separator);

    // Switches a fault for every path.
    void Set(FileFault fault, bool on = true);
    // Switches a fault for one path only (a name of its own: a path would convert to the bool).
    void SetForPath(FileFault fault, std::u16string_view path, bool on = true);

    // Makes a file of these bytes, replacing one of that name.
    void Put(std::u16string_view path, std::vector<std::uint8_t> bytes);
    std::optional<std::vector<std::uint8_t>> Get(std::u16string_view path) const;
    bool Exists(std::u16string_view path) const;
    // Files handed out and not yet closed.
    int OpenFiles() const;

    // Every create, open and delete, in order.
    std::vector<FileEvent> Events() const;
    // The same as text: "create <path>", "open <path>", "delete <path>".
    std::vector<std::u16string> Journal() const;
    // The paths of one kind of call, in order, whether it worked or not.
    std::vector<std::u16string> Created() const;
    std::vector<std::u16string> Opened() const;
    std::vector<std::u16string> Deleted() const;

    std::u16string ModulePath() override;
    char16_t PathSeparator() const override;
    std::unique_ptr<File> CreateForWriting(std::u16string_view path) override;
    std::unique_ptr<File> OpenForReading(std::u16string_view path) override;
    bool Delete(std::u16string_view path) override;

private:
    friend class FakeFile;
    struct Entry;
    struct State;

    std::vector<std::u16string> PathsOf(FileOperation operation) const;

    std::shared_ptr<State> m_state;
};

}  // namespace platform::sim
