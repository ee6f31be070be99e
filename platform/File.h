#pragma once
// Files with the open flags the program uses, and file errors that can be reported to the user.
// Any thread; a file object belongs to the thread that uses it.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace platform {

class CFileException : public std::exception {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException(Cause cause, int osError, std::u16string fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    static Cause CauseFromErrno(int error);
    static CFileException FromErrno(int error, const std::u16string& fileName) {
        return CFileException(CauseFromErrno(error), error, fileName);
    }

    const char* what() const noexcept override { return "file error"; }

    // The user-facing text for this error, naming the file.
    std::u16string GetErrorMessage() const;

    // Shows the error in a message box (caption: the program's name) and returns its result.
    int ReportError(unsigned type = 0) const;

    Cause m_cause;
    int m_lOsError;
    std::u16string m_strFileName;
};

// Who may read and write a file that an open creates.
enum class FileAccess { Everyone, OwnerOnly, Executable };

class CFile {
public:
    // Open flags, with the framework's values.
    static constexpr unsigned modeRead = 0x0000;
    static constexpr unsigned modeWrite = 0x0001;
    static constexpr unsigned modeReadWrite = 0x0002;
    static constexpr unsigned shareExclusive = 0x0010;
    static constexpr unsigned shareDenyNone = 0x0040;
    static constexpr unsigned modeCreate = 0x1000;
    static constexpr unsigned modeNoTruncate = 0x2000;
    // Not a framework flag: every write goes to the end of the file.
    static constexpr unsigned modeAppend = 0x10000;

    // Opens the file or throws CFileException. shareExclusive holds an exclusive lock for as
    // long as the file is open; an open that cannot get it fails with sharingViolation.
    CFile(const std::u16string& path, unsigned flags, FileAccess access = FileAccess::Everyone);
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&&) = delete;
    CFile(const CFile&) = delete;
    ~CFile();

    // Writes all of the bytes or throws CFileException.
    void Write(const void* data, size_t size);
    // Makes what was written durable, then closes; throws CFileException on failure.
    void Close();

    const std::u16string& GetFilePath() const { return m_path; }

private:
    friend class CStagedFile;
    CFile(int fd, std::u16string path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;
    std::u16string m_path;
};

// A file written under a temporary name beside its final path, and put in place by Commit
// only: until then nobody sees a partial file under the final name, and the destructor removes
// the temporary one. The temporary file is locked while it is written, so that a second
// program instance never removes it as stale.
class CStagedFile {
public:
    explicit CStagedFile(const std::u16string& finalPath);  // throws CFileException
    ~CStagedFile();
    CStagedFile(const CStagedFile&) = delete;
    CStagedFile& operator=(const CStagedFile&) = delete;

    void Write(const void* data, size_t size);
    uint64_t BytesWritten() const { return m_written; }

    // Flushes, sets the access, and moves the file to its final path; throws CFileException.
    void Commit(FileAccess access);

    // Removes temporary files that earlier runs left beside `finalPath` and that nobody holds.
    static void RemoveStale(const std::u16string& finalPath);

private:
    static CFile CreateTemporary(const std::u16string& finalPath);

    std::u16string m_finalPath;
    CFile m_file;
    uint64_t m_written = 0;
    bool m_committed = false;
};

}  // namespace platform
