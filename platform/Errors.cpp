#include "platform/Errors.h"

#include <cerrno>

namespace platform {

Error::Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

IoError::IoError(int code) : Error(messageFor(code)), m_code(code) {}

void raiseIfError(int code) {
    if (code != NoError)
        throw IoError(code);
}

QString IoError::messageFor(int code) {
    switch (code) {
    case 2:
        return QStringLiteral("Fichier introuvable");
    case 3:
        return QStringLiteral("Nom de fichier incorrect");
    case 4:
        return QStringLiteral("Trop de fichiers ouverts");
    case 5:
        return QStringLiteral("Accès au fichier refusé");
    case 100:
        return QStringLiteral("Lecture au-delà de la fin de fichier");
    case 101:
        return QStringLiteral("Disque plein");
    case 106:
        return QStringLiteral("Saisie numérique incorrecte");
    default:
        return QStringLiteral("Erreur E/S %1").arg(code);
    }
}

int winErrorFromErrno(int err) {
    switch (err) {
    case 0:
        return NoError;
    case ENOENT:
        return ErrFileNotFound;
    case ENOTDIR:
    case ELOOP:
        return ErrPathNotFound;
    case EMFILE:
    case ENFILE:
        return ErrTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return ErrAccessDenied;
    case EEXIST:
        return ErrAlreadyExists;
    case ENOTEMPTY:
        return ErrDirNotEmpty;
    case ENOSPC:
    case EDQUOT:
        return ErrDiskFull;
    case ENAMETOOLONG:
        return ErrFilenameTooLong;
    case EWOULDBLOCK:
        return ErrSharingViolation;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return ErrNotReady;
    case EINVAL:
        return ErrInvalidName;
    default:
        return 0x1F; // ERROR_GEN_FAILURE
    }
}

} // namespace platform
