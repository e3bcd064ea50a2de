#pragma once
// Writing a file so that it holds either its complete new content or,
// after any failure, exactly what it held before.
//
// The bytes go into a temporary file beside the target, which is flushed to
// the disk and renamed over the target only when every byte is in it; the
// directory is flushed after the rename. A symbolic link is followed to the
// file it names: that file is replaced (its temporary file lies beside it)
// and the link stays a link. A new file gets the usual permissions (0666
// less the umask); a replaced file keeps its mode and, where the system
// allows, its owner.
//
// Refused before anything is written: a target that is not a regular file
// (a directory, named pipe, device or socket), and a file the user may not
// write. For root, whom the system lets write anything, a file counts as
// writable only when one of its write bits is set, so that a file made
// read-only stays untouched for every user.
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

// The steps of a write, as the failure seam names them.
enum class FileWriteStep { None, Create, Write, Sync, Rename };

// Whether a commit waits until the bytes are on the disk. Without, the
// file takes the target's place as soon as every byte is handed to the
// system: a crash of the system may then leave the target with the new
// name but not all of its bytes. Only for a file made anew whenever it is
// wanted (the formatted copy a load writes beside the phonebook).
enum class Durability { OnDisk, Handed };

class AtomicFile {
public:
    AtomicFile() = default;
    // Without Commit the temporary file goes and the target stays.
    ~AtomicFile() { Abort(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Checks the target (a path as the file system takes it) and creates
    // the temporary file. false, with a reason, when the target must not or
    // cannot be replaced.
    bool Open(std::string_view path);
    // Appends bytes; they are handed to the system in large pieces. false
    // once the write has failed; every later call then fails too.
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Writes what is still buffered, flushes it to the disk and puts the
    // file in place of the target. true when the target now holds exactly
    // the written bytes.
    bool Commit(Durability durability = Durability::OnDisk);
    // Drops the temporary file; the target stays as it was.
    void Abort();

    bool IsOpen() const { return fd_ >= 0; }
    // Why the write failed, short enough for a message box
    // ("Datenträger voll"); empty while nothing failed.
    const std::u16string& Reason() const { return reason_; }
    // The system's error number behind the failure (EACCES for a file the
    // user may not write, EISDIR for a directory or any other file that is
    // not a regular one in the way); 0 while nothing failed.
    int Error() const { return error_; }

private:
    bool Fail(int error);
    bool Put(const char* data, std::size_t size);

    std::string target_;
    std::string temporary_;
    std::string buffer_;
    int fd_ = -1;
    long long written_ = 0;  // bytes handed to the system so far
    int error_ = 0;
    std::u16string reason_;
};

// The whole content in one go. On failure returns false and stores why in
// reason when one is given.
bool WriteFileAtomically(std::string_view path, std::string_view bytes, std::u16string* reason = nullptr);

// The reason AtomicFile gives for a system error number.
std::u16string FileWriteReason(int error);

// Test seam of every atomic write: a disk that fails. The default value is
// a sound disk.
struct FileWriteFault {
    // The write that would take the file past this many bytes fails with
    // `error` (what fitted is written first); -1: never.
    long long afterBytes = -1;
    // When > 0, the system takes at most this many bytes per call.
    std::size_t writeSize = 0;
    // This step fails with `error`.
    FileWriteStep step = FileWriteStep::None;
    int error = ENOSPC;
};
void SetFileWriteFault(const FileWriteFault& fault);
