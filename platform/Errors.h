#pragma once

#include <QString>

#include <exception>

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
    ErrSharingViolation = 32,
    ErrNotSupported = 50,
    ErrFileExists = 80,
    ErrDiskFull = 112,
    ErrInvalidName = 123,
    ErrDirNotEmpty = 145,
    ErrAlreadyExists = 183,
    ErrFilenameTooLong = 206,
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

// The Windows error code that stands for a POSIX errno value.
int winErrorFromErrno(int err);

} // namespace platform
