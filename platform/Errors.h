#pragma once

#include <QString>

#include <exception>

// How every function of platform/ reports a failure:
// - Nothing in platform/ raises. A failure is a Windows error code (WinError
//   below; NoError, 0, is success), so that a Win32 backend can hand its own
//   codes through unchanged.
// - A function with nothing to return returns that code (setCurrentFolder,
//   moveFile, deleteFile, startProgram, shellExecute, openDocument...).
// - A function that produces a value returns it, and tells a failure through
//   a trailing `int* error` (which may be null); the value is then empty, null
//   or closed.
// - A plain question answers bool (fileExists, driveReady): what cannot be
//   read is "no". fileAttributes answers InvalidAttributes, as Windows does.
// The layers above choose what the user sees: raiseIfError turns a code into
// the IoError that a window shows in its own message or lets reach the
// program's default error box; a failure the program leaves unreported is
// simply dropped.
namespace platform {

// Windows error codes the programs report or test for.
enum WinError : int {
    NoError = 0,
    ErrFileNotFound = 2,
    ErrPathNotFound = 3,
    ErrTooManyOpenFiles = 4,
    ErrAccessDenied = 5,
    ErrInvalidDrive = 15,
    ErrNotReady = 21,
    ErrCrc = 23, // data error: what was read is not what was written
    ErrGenFailure = 31,
    ErrSharingViolation = 32,
    ErrNotSupported = 50,
    ErrFileExists = 80,
    ErrDiskFull = 112,
    ErrInvalidName = 123,
    ErrDirNotEmpty = 145,
    ErrAlreadyExists = 183,
    ErrFilenameTooLong = 206,
    ErrFileTooLarge = 223,
    ErrDirectory = 267,
};

// Base of every error the programs raise: carries a French message ready to show.
class Error : public std::exception {
public:
    explicit Error(QString message);
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Input/output error: a Windows error code (or a runtime I/O code such as
// 100 "read past end" and 101 "disk full") with its French message.
class IoError : public Error {
public:
    explicit IoError(int code);
    int code() const noexcept { return m_code; }
    static QString messageFor(int code);

private:
    int m_code;
};

// Raises IoError for a failure code; does nothing for NoError.
void raiseIfError(int code);

// The Windows error code that stands for a POSIX errno value.
int winErrorFromErrno(int err);

} // namespace platform
