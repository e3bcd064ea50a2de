#include "base/atomic_file.h"

#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileWriteFault g_fault;

// Pieces smaller than this are gathered before they go to the system.
constexpr std::size_t BufferBytes = 1 << 16;
// Symbolic links followed before giving up, as the system itself does.
constexpr int MaxLinks = 40;

constexpr std::u16string_view ReadOnlyReason = u"Datei schreibgeschützt";

bool FaultAt(FileWriteStep step)
{
    if (g_fault.step != step)
        return false;
    errno = g_fault.error;
    return true;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends in (path itself when it is no
// link); lstat's result for it in st, exists false when there is no such
// file yet. 0 or an error number.
int FollowLinks(std::string& path, struct stat& st, bool& exists)
{
    for (int hops = 0; hops <= MaxLinks; ++hops) {
        if (::lstat(path.c_str(), &st) != 0) {
            exists = false;
            return errno == ENOENT ? 0 : errno;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            return 0;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        if (static_cast<std::size_t>(n) >= link.size())
            return ENAMETOOLONG;  // the link grew while it was read
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : DirectoryOf(path) + "/" + link;
    }
    return ELOOP;
}

// 0 when the user may replace the existing file at path, else why not.
int MayReplace(const std::string& path, const struct stat& st)
{
    if (::geteuid() == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) ? 0 : EACCES;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void SyncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::u16string FileWriteReason(int error)
{
    switch (error) {
    case 0: return u"";
    case EACCES:
    case EPERM: return u"Keine Schreibberechtigung";
    case EROFS: return u"Datenträger schreibgeschützt";
    case ENOSPC:
    case EDQUOT: return u"Datenträger voll";
    case ENOENT:
    case ENOTDIR: return u"Ordner nicht gefunden";
    case EISDIR: return u"Ziel ist keine Datei";
    case ENAMETOOLONG: return u"Name zu lang";
    case ELOOP: return u"Zu viele Verknüpfungen";
    case EINVAL: return u"Ungültiger Dateiname";
    case EIO: return u"Ein-/Ausgabefehler";
    case ENOMEM: return u"Zu wenig Speicher";
    case EMFILE:
    case ENFILE: return u"Zu viele offene Dateien";
    default: return u"Schreibfehler";
    }
}

void SetFileWriteFault(const FileWriteFault& fault) { g_fault = fault; }

bool AtomicFile::Open(std::string_view path)
{
    Abort();
    error_ = 0;
    reason_.clear();
    written_ = 0;
    target_.assign(path);
    if (target_.empty() || target_.find('\0') != std::string::npos || target_.back() == '/')
        return Fail(EINVAL);

    struct stat st {};
    bool exists = false;
    if (const int error = FollowLinks(target_, st, exists))
        return Fail(error);
    if (exists && !S_ISREG(st.st_mode))
        return Fail(EISDIR);
    if (exists) {
        if (const int error = MayReplace(target_, st)) {
            Fail(error);
            if (error == EACCES)
                reason_ = ReadOnlyReason;  // more telling than the general "Keine Schreibberechtigung"
            return false;
        }
    }

    const std::string directory = DirectoryOf(target_);
    std::string temporary = (directory == "/" ? std::string() : directory) + "/.nw-save-XXXXXX";
    const int fd = FaultAt(FileWriteStep::Create) ? -1 : ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(errno);
    fd_ = fd;
    temporary_ = std::move(temporary);
    // Only root may hand the copy to the old file's owner; anyone else's
    // copy is theirs, as an editor's would be.
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        (void)!::fchown(fd_, st.st_uid, st.st_gid);
    if (::fchmod(fd_, exists ? st.st_mode & 07777 : NewFileMode()) != 0)
        return Fail(errno);
    buffer_.reserve(BufferBytes);
    return true;
}

bool AtomicFile::Put(const char* data, std::size_t size)
{
    while (size > 0) {
        std::size_t piece = size;
        if (g_fault.writeSize > 0 && piece > g_fault.writeSize)
            piece = g_fault.writeSize;
        if (g_fault.afterBytes >= 0) {
            const long long room = g_fault.afterBytes > written_ ? g_fault.afterBytes - written_ : 0;
            if (room == 0)
                return Fail(g_fault.error);
            if (static_cast<unsigned long long>(room) < piece)
                piece = static_cast<std::size_t>(room);
        }
        if (FaultAt(FileWriteStep::Write))
            return Fail(errno);
        const ssize_t n = ::write(fd_, data, piece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(errno);
        if (n == 0)
            return Fail(EIO);
        data += n;
        size -= static_cast<std::size_t>(n);
        written_ += n;
    }
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (fd_ < 0)
        return false;
    const auto* bytes = static_cast<const char*>(data);
    if (buffer_.size() + size <= BufferBytes) {
        buffer_.append(bytes, size);
        return true;
    }
    if (!Put(buffer_.data(), buffer_.size()))
        return false;
    buffer_.clear();
    if (size >= BufferBytes)
        return Put(bytes, size);
    buffer_.append(bytes, size);
    return true;
}

bool AtomicFile::Commit(Durability durability)
{
    if (fd_ < 0)
        return false;
    if (!Put(buffer_.data(), buffer_.size()))
        return false;
    buffer_.clear();
    const bool sync = durability == Durability::OnDisk;
    if (sync && (FaultAt(FileWriteStep::Sync) || ::fsync(fd_) != 0))
        return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return Fail(errno);
    if (FaultAt(FileWriteStep::Rename) || ::rename(temporary_.c_str(), target_.c_str()) != 0)
        return Fail(errno);
    temporary_.clear();
    if (sync)
        SyncDirectory(DirectoryOf(target_));
    return true;
}

void AtomicFile::Abort()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    buffer_.clear();
}

bool AtomicFile::Fail(int error)
{
    Abort();
    error_ = error ? error : EIO;
    reason_ = FileWriteReason(error_);
    return false;
}

bool WriteFileAtomically(std::string_view path, std::string_view bytes, std::u16string* reason)
{
    AtomicFile file;
    const bool ok = file.Open(path) && file.Write(bytes) && file.Commit();
    if (!ok && reason)
        *reason = file.Reason();
    return ok;
}
