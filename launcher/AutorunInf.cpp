#include "launcher/AutorunInf.h"

#include "common/AutorunEncoding.h"
#include "common/SuiteLayout.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"

namespace pelmora {

namespace wp = platform::winpath;

namespace {

// The refusals, in one place.
namespace text {
const QString Forbidden =
    QStringLiteral("Windows n'accepte pas le caractère « %1 » dans un nom de fichier.");
const QString Control = QStringLiteral(
    "Windows n'accepte pas de caractère de contrôle (code %1) dans un nom de fichier.");
const QString FinalDot =
    QStringLiteral("Windows n'accepte pas un nom de fichier qui se termine par un point.");
const QString FinalBlank =
    QStringLiteral("Windows n'accepte pas un nom de fichier qui se termine par une espace.");
const QString Device = QStringLiteral("%1 est un nom que Windows réserve à un périphérique.");
const QString TooLong = QStringLiteral("Depuis la racine du disque, son chemin dépasserait les "
                                       "%1 caractères que permet Windows.");
const QString LeadingBlank =
    QStringLiteral("Le disque lirait ce nom sans l'espace qui le commence.");
const QString Quoted =
    QStringLiteral("Le disque lirait ce nom sans les guillemets qui l'entourent.");
const QString Refused = QStringLiteral("« %1 » : %2");
const QString ControlInLine =
    QStringLiteral("Caractère de contrôle (code %1) dans une ligne d'Autorun.inf.");
} // namespace text

// Windows' path limit counts the terminating NUL; the disc's root is "D:\".
constexpr qsizetype MaxPath = 260;
constexpr qsizetype RootLength = 3;

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 name the devices whatever
// follows the first dot, and whatever blanks end the part before it.
QString deviceName(const QString& name) {
    const qsizetype dot = name.indexOf(u'.');
    QStringView base = dot < 0 ? QStringView(name) : QStringView(name).first(dot);
    while (base.endsWith(u' '))
        base.chop(1);
    const QString upper = base.toString().toUpper();
    static const QStringList plain{QStringLiteral("CON"), QStringLiteral("PRN"),
                                   QStringLiteral("AUX"), QStringLiteral("NUL")};
    if (plain.contains(upper))
        return upper;
    if (upper.size() == 4 && (upper.startsWith(u"COM") || upper.startsWith(u"LPT")) &&
        upper[3] >= u'1' && upper[3] <= u'9')
        return upper;
    return {};
}

// The name as a message can show it: each control character as its picture.
QString visible(QString name) {
    for (QChar& c : name)
        if (c.unicode() < 0x20)
            c = QChar(char16_t(0x2400 + c.unicode()));
    return name;
}

} // namespace

QString AutorunNameRefusal(const QString& name) {
    for (const QChar c : name) {
        if (isControl(c))
            return text::Control.arg(c.unicode());
        if (QStringView(u"\\/:*?\"<>|").contains(c))
            return text::Forbidden.arg(c);
    }
    if (name.endsWith(u'.'))
        return text::FinalDot;
    if (name.endsWith(u' '))
        return text::FinalBlank;
    if (const QString device = deviceName(name); !device.isEmpty())
        return text::Device.arg(device);
    if (RootLength + name.size() + 1 > MaxPath)
        return text::TooLong.arg(MaxPath);
    // Readers drop blanks before a value and quotes round the whole of it.
    if (name.startsWith(u' '))
        return text::LeadingBlank;
    if (name.size() >= 2 && (name.front() == u'"' || name.front() == u'\'') &&
        name.back() == name.front())
        return text::Quoted;
    return {};
}

QStringList AutorunLines(const QString& iconPath, const QString& startPage) {
    return {
        QStringLiteral("[Autorun]"),
        QStringLiteral("OPEN=") + suite::name(suite::AutorunProgram),
        QStringLiteral("ICON=") + wp::fileName(iconPath),
        QStringLiteral("HTM=") + startPage,
    };
}

QByteArray AutorunBytes(const QStringList& lines) {
    QString textOfFile;
    for (const QString& line : lines) {
        // Every value names a file at the root of the disc: a refusal names
        // the file; a control character elsewhere breaks the line itself.
        const qsizetype equals = line.indexOf(u'=');
        const QString value = equals < 0 ? QString() : line.sliced(equals + 1);
        if (!value.isEmpty())
            if (const QString why = AutorunNameRefusal(value); !why.isEmpty())
                throw AutorunEncodingError(text::Refused.arg(visible(value), why));
        for (const QChar c : line)
            if (isControl(c))
                throw AutorunEncodingError(text::ControlInLine.arg(c.unicode()));
        textOfFile += line + QStringLiteral("\r\n");
    }
    const std::string bytes = autorun::encode(textOfFile.toStdU16String());
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QStringList AutorunPreview(const QByteArray& bytes) {
    const std::u16string decoded =
        autorun::decode(std::string_view(bytes.constData(), size_t(bytes.size())));
    // Taken as it is: a conversion from UTF-16 would drop a leading U+FEFF.
    const QString text(reinterpret_cast<const QChar*>(decoded.data()), qsizetype(decoded.size()));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

void WriteAutorunInf(const QString& root, const QByteArray& bytes) {
    int error = platform::NoError;
    const platform::Folder folder = platform::Folder::open(root, &error);
    if (!folder.isOpen())
        throw platform::IoError(error != platform::NoError ? error : platform::ErrPathNotFound);
    WriteAutorunInf(folder, bytes);
}

void WriteAutorunInf(const platform::Folder& root, const QByteArray& bytes) {
    // The new file takes the old one's place (and its name as the disk has
    // it, "AUTORUN.INF" stays so) only once it is whole and on the disk.
    int error = platform::NoError;
    platform::Replacement out = root.replace(AutorunInfName, &error);
    if (!out.isOpen())
        throw platform::IoError(error != platform::NoError ? error : platform::ErrAccessDenied);
    if (out.file().write(bytes.constData(), bytes.size(), &error) != bytes.size())
        throw platform::IoError(error != platform::NoError ? error : platform::ErrDiskFull);
    const int committed = out.commit();
    if (committed != platform::NoError)
        throw platform::IoError(committed);
}

} // namespace pelmora
