#include "platform/Process.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

StartHook& startHook() {
    static StartHook hook;
    return hook;
}

OpenHook& openHook() {
    static OpenHook hook;
    return hook;
}

bool realStart(const StartRequest& request) {
    return QProcess::startDetached(request.hostProgram, request.arguments,
                                   request.hostWorkingFolder);
}

bool realOpen(const QString& target) {
    return QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

bool runStart(const StartRequest& request) {
    return startHook() ? startHook()(request) : realStart(request);
}

bool runOpen(const QString& target) {
    return openHook() ? openHook()(target) : realOpen(target);
}

bool isProgramFile(const QString& hostPath) {
    struct stat st;
    const QByteArray h = QFile::encodeName(hostPath);
    return ::stat(h.constData(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111);
}

} // namespace

void setStartHook(StartHook hook) {
    startHook() = std::move(hook);
}

void setOpenHook(OpenHook hook) {
    openHook() = std::move(hook);
}

std::optional<bool> openThroughHook(const QString& target) {
    if (!openHook())
        return std::nullopt;
    return openHook()(target);
}

QStringList splitParameters(const QString& parameters) {
    QStringList arguments;
    QString current;
    bool inQuotes = false, any = false;
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const QChar c = parameters[i];
        if (c == u'\\' && i + 1 < parameters.size() && parameters[i + 1] == u'"') {
            current += u'"';
            any = true;
            ++i;
        } else if (c == u'"') {
            inQuotes = !inQuotes;
            any = true;
        } else if (!inQuotes && (c == u' ' || c == u'\t')) {
            if (any)
                arguments << current;
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        arguments << current;
    return arguments;
}

QString findProgram(const QString& name, const QString& folder) {
    const QString path =
        winpath::folderPart(name).isEmpty() ? winpath::withTrailingBackslash(folder) + name : name;
    if (fileExists(path))
        return path;
    const QString bare = winpath::fileName(path);
    const qsizetype dot = bare.lastIndexOf(u'.');
    if (dot > 0 && bare.mid(dot).compare(u".exe", Qt::CaseInsensitive) == 0) {
        const QString withoutExtension = winpath::folderPart(path) + bare.left(dot);
        if (fileExists(withoutExtension))
            return withoutExtension;
    }
    return {};
}

int shellExecute(const QString& file, const QString& parameters, const QString& workingFolder,
                 int /*showCommand: the host's window manager places the window*/) {
    const QString hostFolder = toHostPath(workingFolder);
    if (hostFolder.isEmpty() || !folderExists(workingFolder))
        return ErrPathNotFound;
    const QString program = findProgram(file, workingFolder);
    if (program.isEmpty())
        return ErrFileNotFound;
    const QString hostProgram = toHostPath(program);
    if (!isProgramFile(hostProgram)) {
        // A program asked for by its ".EXE" name that cannot run is refused,
        // not handed to the opener: the caller must learn that it did not start.
        if (file.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
            return ErrAccessDenied;
        return runOpen(hostProgram) ? NoError : ErrAccessDenied;
    }
    const StartRequest request{program, splitParameters(parameters), workingFolder, hostProgram,
                               hostFolder};
    return runStart(request) ? NoError : ErrAccessDenied;
}

int startProgram(const QString& program, const QStringList& arguments,
                 const QString& workingFolder) {
    const QString found = findProgram(program, workingFolder);
    if (found.isEmpty())
        return ErrFileNotFound;
    const QString hostFolder = toHostPath(workingFolder);
    if (hostFolder.isEmpty() || !folderExists(workingFolder))
        return ErrPathNotFound;
    const StartRequest request{found, arguments, workingFolder, toHostPath(found), hostFolder};
    return runStart(request) ? NoError : ErrAccessDenied;
}

int openDocument(const QString& path) {
    const QString host = toHostPath(path);
    if (host.isEmpty() || fileAttributes(path) == InvalidAttributes)
        return ErrFileNotFound;
    return runOpen(host) ? NoError : ErrAccessDenied;
}

int openUrl(const QString& url) {
    return runOpen(url) ? NoError : ErrAccessDenied;
}

} // namespace platform
