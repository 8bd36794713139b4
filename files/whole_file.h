#pragma once
// Files written whole or not at all. The new content goes to a file of its
// own beside the target, under a name nobody else can have chosen: created
// exclusively, so neither an existing file nor a link planted there is ever
// written through. It takes the target's place with one rename once it is
// written and on the disk; until then the earlier file stays as it was, and
// a failure, a stop or a kill leaves nothing behind where it can remove it.
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace crv {

class RemovedOnSignal;

// A file or folder that could not be written. what() is the whole Italian
// message; motivo() the reason alone, naming the folder ("disco pieno nella
// cartella D"), for callers that say what was being saved in their own words.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& message, std::string motivo)
        : std::runtime_error(message), motivo_(std::move(motivo)) {}
    const std::string& motivo() const { return motivo_; }

private:
    std::string motivo_;
};

// A new content for `target`, being written.
class WholeFile {
public:
    // Creates the new file beside `target`. Throws FileError.
    explicit WholeFile(std::filesystem::path target);
    // Removes the new file unless commit() put it in place.
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // Throws FileError naming the target and the reason.
    void write(std::string_view bytes);
    // The new file gets the permissions of `other` (the file it replaces),
    // and its owner where the system allows.
    void keepPermissionsOf(const std::filesystem::path& other);
    // Puts the file in the target's place; true when it replaced an earlier
    // file (or link) of that name. Throws FileError, the earlier file intact.
    bool commit();

    const std::filesystem::path& target() const { return target_; }

private:
    [[noreturn]] void fail(const std::string& what, int error);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    std::unique_ptr<RemovedOnSignal> guard_;
};

// `bytes` as the whole new content of `target`; true when an earlier file
// was replaced. Throws FileError.
bool writeWholeFile(const std::filesystem::path& target, std::string_view bytes);

// Creates `file` with `bytes`; false, and nothing written, when the name is
// taken (by a file, a folder or a link, which is never followed). Throws
// FileError on any other failure, leaving no part of the file behind.
bool writeNewFile(const std::filesystem::path& file, std::string_view bytes);

// A folder of our own beside `target` ("." + its name + "." + a random part +
// `suffix`), readable by its owner only. Throws FileError naming the target.
std::filesystem::path makeFolderBeside(const std::filesystem::path& target, std::string_view suffix);

// Flushes a file that another writer closed to the disk; the system's error
// number of a failure, or 0.
int syncFile(const std::filesystem::path& file);

// Writes all bytes to a descriptor, going on after interruptions; the
// system's error number of a failure, or 0.
int writeAll(int fd, std::string_view bytes);

// A random part for a scratch name: 16 hexadecimal digits.
std::string randomPart();

}  // namespace crv
