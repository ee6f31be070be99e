#include "platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Module.h"

namespace platform {
namespace {

constexpr char kStagedMarker[] = ".part-";

mode_t ModeFor(FileAccess access) {
    switch (access) {
        case FileAccess::OwnerOnly:
            return 0600;
        case FileAccess::Executable:
            return 0755;
        case FileAccess::Everyone:
            break;
    }
    return 0666;
}

std::u16string Replace(std::u16string text, std::u16string_view what, const std::u16string& with) {
    const size_t at = text.find(what);
    if (at != std::u16string::npos) text.replace(at, what.size(), with);
    return text;
}

// The program's name as the framework derives it: its file name without directory.
std::u16string ApplicationName() {
    const std::u16string path = GetModuleFileNameW();
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StagedPrefix(const std::string& finalPath) {
    return "." + BaseNameOf(finalPath) + kStagedMarker;
}

}  // namespace

CFileException::Cause CFileException::CauseFromErrno(int error) {
    switch (error) {
        case 0:
            return none;
        case ENOENT:
            return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return badPath;
        case EMFILE:
        case ENFILE:
            return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
        case EEXIST:
            return accessDenied;
        case EBADF:
            return invalidFile;
        case EMLINK:
            return directoryFull;
        case EIO:
            return hardIO;
        case EWOULDBLOCK:
            return sharingViolation;
        case ENOLCK:
            return lockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return diskFull;
        default:
            return genericException;
    }
}

std::u16string CFileException::GetErrorMessage() const {
    std::u16string pattern;
    switch (m_cause) {
        case fileNotFound:
            pattern = u"未找到 %1。";
            break;
        case badPath:
            pattern = u"%1 包含无效的路径。";
            break;
        case tooManyOpenFiles:
            pattern = u"无法打开 %1，因为打开的文件太多。";
            break;
        case accessDenied:
            pattern = u"拒绝访问 %1。";
            break;
        case invalidFile:
            pattern = u"与 %1 关联的文件句柄无效。";
            break;
        case removeCurrentDir:
            pattern = u"无法删除 %1，因为它是当前目录。";
            break;
        case directoryFull:
            pattern = u"无法创建 %1，因为目录已满。";
            break;
        case badSeek:
            pattern = u"在 %1 上定位失败。";
            break;
        case hardIO:
            pattern = u"访问 %1 时发生硬件 I/O 错误。";
            break;
        case sharingViolation:
            pattern = u"访问 %1 时发生共享冲突。";
            break;
        case lockViolation:
            pattern = u"访问 %1 时发生锁定冲突。";
            break;
        case diskFull:
            pattern = u"访问 %1 时磁盘已满。";
            break;
        case endOfFile:
            pattern = u"访问 %1 时试图越过文件末尾。";
            break;
        case none:
        case genericException:
            pattern = u"访问 %1 时发生未知错误。";
            break;
    }
    return Replace(pattern, u"%1", m_strFileName);
}

int CFileException::ReportError(unsigned type) const {
    return MessageBoxW(nullptr, GetErrorMessage(), ApplicationName(), type);
}

CFile::CFile(const std::u16string& path, unsigned flags, FileAccess access) : m_path(path) {
    int oflags = O_CLOEXEC;
    if (flags & modeReadWrite) {
        oflags |= O_RDWR;
    } else if (flags & modeWrite) {
        oflags |= O_WRONLY;
    } else {
        oflags |= O_RDONLY;
    }
    if (flags & modeCreate) oflags |= O_CREAT | ((flags & modeNoTruncate) ? 0 : O_TRUNC);
    if (flags & modeAppend) oflags |= O_APPEND;
    // Take the lock before truncating, so that a file someone else holds is left alone.
    const bool truncate = (oflags & O_TRUNC) && (flags & shareExclusive);
    if (truncate) oflags &= ~O_TRUNC;

    m_fd = open(PathToNative(path).c_str(), oflags, ModeFor(access));
    if (m_fd < 0) throw CFileException::FromErrno(errno, path);
    if ((flags & shareExclusive) && flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(m_fd);
        m_fd = -1;
        throw CFileException::FromErrno(error, path);
    }
    if (truncate && ftruncate(m_fd, 0) != 0) {
        const int error = errno;
        close(m_fd);
        m_fd = -1;
        throw CFileException::FromErrno(error, path);
    }
}

CFile::CFile(CFile&& other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path)) {
    other.m_fd = -1;
}

CFile::~CFile() {
    if (m_fd >= 0) close(m_fd);
}

void CFile::Write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(m_fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw CFileException::FromErrno(n < 0 ? errno : ENOSPC, m_path);
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

void CFile::Close() {
    if (m_fd < 0) return;
    const int fd = m_fd;
    m_fd = -1;
    const bool synced = fsync(fd) == 0 || errno == EINVAL;  // EINVAL: a file that cannot sync
    const int syncError = errno;
    if (close(fd) != 0 && synced) throw CFileException::FromErrno(errno, m_path);
    if (!synced) throw CFileException::FromErrno(syncError, m_path);
}

CFile CStagedFile::CreateTemporary(const std::u16string& finalPath) {
    const std::string native = PathToNative(finalPath);
    const std::string dir = DirectoryOf(native);
    // A stale-file sweep of another instance may unlink the file between its creation and our
    // lock; a file we hold locked but that is no longer linked is replaced by a new one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string name = dir + "/" + StagedPrefix(native) + "XXXXXX";
        std::vector<char> buffer(name.begin(), name.end());
        buffer.push_back('\0');
        const int fd = mkostemp(buffer.data(), O_CLOEXEC);
        if (fd < 0) throw CFileException::FromErrno(errno, finalPath);
        struct stat st;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &st) == 0 && st.st_nlink > 0) {
            return CFile(fd, PathFromNative(buffer.data()));
        }
        close(fd);
    }
    throw CFileException(CFileException::sharingViolation, EWOULDBLOCK, finalPath);
}

CStagedFile::CStagedFile(const std::u16string& finalPath)
    : m_finalPath(finalPath), m_file(CreateTemporary(finalPath)) {}

CStagedFile::~CStagedFile() {
    if (!m_committed) unlink(PathToNative(m_file.GetFilePath()).c_str());
}

void CStagedFile::Write(const void* data, size_t size) {
    try {
        m_file.Write(data, size);
    } catch (CFileException& e) {
        e.m_strFileName = m_finalPath;
        throw;
    }
    m_written += size;
}

void CStagedFile::Commit(FileAccess access) {
    const std::string temporary = PathToNative(m_file.GetFilePath());
    try {
        if (fchmod(m_file.m_fd, ModeFor(access)) != 0) {
            throw CFileException::FromErrno(errno, m_finalPath);
        }
        m_file.Close();
    } catch (CFileException& e) {
        e.m_strFileName = m_finalPath;
        throw;
    }
    if (rename(temporary.c_str(), PathToNative(m_finalPath).c_str()) != 0) {
        throw CFileException::FromErrno(errno, m_finalPath);
    }
    m_committed = true;
}

void CStagedFile::RemoveStale(const std::u16string& finalPath) {
    const std::string native = PathToNative(finalPath);
    const std::string dir = DirectoryOf(native);
    const std::string prefix = StagedPrefix(native);
    DIR* listing = opendir(dir.c_str());
    if (!listing) return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            stale.push_back(dir + "/" + name);
        }
    }
    closedir(listing);
    for (const std::string& path : stale) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat st;
        // Only plain files nobody is writing: a running download holds its lock.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
            unlink(path.c_str());
        }
        close(fd);
    }
}

}  // namespace platform
