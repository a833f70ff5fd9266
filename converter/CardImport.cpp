#include "converter/CardImport.h"

#include "converter/CamcorderName.h"
#include "converter/ClipIndex.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/VerifiedCopy.h"
#include "platform/Volumes.h"
#include "platform/WinPath.h"

#include <QDateTime>
#include <QSet>

namespace strovan {

namespace {

namespace text {
const QString Done = QStringLiteral("Enregistrements copiés de la carte dans %1 :");
const QString Stopped =
    QStringLiteral("Copie de la carte arrêtée ; relancez-la pour copier le reste. Dans %1 :");
const QString CardUnreadable =
    QStringLiteral("Copie de la carte arrêtée : la carte ne se lit plus (%1 : %2). Dans %3 :");
const QString DiskFull =
    QStringLiteral("Copie de la carte arrêtée : le disque est plein. Dans %1 :");
const QString NotWritten =
    QStringLiteral("Copie de la carte arrêtée : %1 ne peut pas être écrit (%2).");
const QString Copied = QStringLiteral("Fichiers copiés et vérifiés : %1");
const QString AlreadyThere = QStringLiteral("Déjà copiés par une importation précédente : %1");
const QString FailuresHead = QStringLiteral("Non copiés :");
const QString FailuresMore = QStringLiteral("… et %1 autres");
const QString Differs = QStringLiteral("relu, il diffère de la carte : copie écartée");
const QString NameExists = QStringLiteral("ce nom existe déjà");
const QString IoFailure = QStringLiteral("erreur d'entrée/sortie (%1)");
const QString CardKept = QStringLiteral("La carte est restée telle quelle.");
} // namespace text

// How many failures the report lists before it says how many more there are.
constexpr int FailuresShown = 20;

QString Reason(const ImportFailure& failure) {
    if (failure.differs)
        return text::Differs;
    if (failure.code == platform::ErrAlreadyExists || failure.code == platform::ErrFileExists)
        return text::NameExists;
    return text::IoFailure.arg(platform::IoError::messageFor(failure.code));
}

// Room kept beside the clips on the destination's disk: the record of the
// import and the folders' own entries.
constexpr qint64 SpaceMargin = 1024 * 1024;

// The index file's head up to its shape byte holds the recording's date.
constexpr qint64 IndexHead = 0x81;

const QString FolderPrefix = QStringLiteral("Camescope ");

const QString RecordHeader =
    QStringLiteral("# Fichiers copiés de la carte et vérifiés : nom sur la carte, taille, date");

bool IsClip(QStringView name) {
    return KindOf(name) == FileKind::Clip;
}

// Only the folders the camera names PRG are copied: a six-character folder
// that the conversion would also take is no camera's on a card.
bool IsRecordingFolderName(const QString& name) {
    return name.startsWith(u"PRG");
}

QString Child(const QString& folder, const QString& name) {
    return platform::winpath::withTrailingBackslash(folder) + name;
}

QString RecordLine(const CardFile& file) {
    return file.relative() + u'\t' + QString::number(file.size) + u'\t' +
           QDateTime::fromMSecsSinceEpoch(file.modifiedMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

// The record an import keeps in its destination.
class ImportRecord {
public:
    static ImportRecord read(const platform::Folder& destination) {
        ImportRecord record;
        int error = 0;
        const platform::FileFacts facts =
            platform::fileFacts(destination, ImportRecordName(), &error);
        if (error != 0)
            return record;
        const QByteArray bytes =
            destination.readHead(ImportRecordName(), std::min(facts.size, MaxRecord), &error);
        for (const QByteArray& line : bytes.split('\n')) {
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            record.m_order << QString::fromUtf8(line);
            record.m_lines.insert(record.m_order.last());
        }
        return record;
    }

    bool holds(const CardFile& file) const { return m_lines.contains(RecordLine(file)); }
    bool isEmpty() const { return m_lines.isEmpty(); }

    // Adds the file and writes the record anew, in one piece.
    int add(const platform::Folder& destination, const CardFile& file) {
        m_order << RecordLine(file);
        m_lines.insert(m_order.last());
        int error = 0;
        platform::Replacement replacement = destination.replace(ImportRecordName(), &error);
        if (!replacement.isOpen())
            return error;
        const QByteArray bytes = (QStringList{RecordHeader} + m_order).join(u'\n').toUtf8() + '\n';
        if (replacement.file().write(bytes.constData(), bytes.size(), &error) < 0)
            return error;
        return replacement.commit();
    }

private:
    static constexpr qint64 MaxRecord = 64 * 1024 * 1024;
    QSet<QString> m_lines;
    QStringList m_order; // as written, new lines last
};

// The folder of the destination that holds (or is to hold) a recording
// folder's copy: under its card name, or under the name the conversion gave
// it when an earlier import was converted already, so that the conversion
// finds both together.
QString DestinationFolderName(const platform::Folder& destination, const QString& cardName) {
    if (cardName.isEmpty())
        return cardName;
    const QString converted = MapCamcorderName(cardName);
    if (converted != cardName &&
        destination.entryAttributes(cardName) == platform::InvalidAttributes &&
        destination.entryAttributes(converted) != platform::InvalidAttributes)
        return converted;
    return cardName;
}

// The copy of a clip is still in destination, under its card name or its
// converted one, with the card's size (the 16:9 fix rewrites bytes in place).
bool CopyStillThere(const platform::Folder& destination, const CardFile& file) {
    platform::Folder sub;
    if (!file.folder.isEmpty())
        sub = destination.openSubfolder(DestinationFolderName(destination, file.folder));
    const platform::Folder& folder = file.folder.isEmpty() ? destination : sub;
    for (const QString& name : {file.name, MapCamcorderName(file.name)}) {
        int error = 0;
        const platform::FileFacts facts = platform::fileFacts(folder, name, &error);
        if (error == 0 && facts.size == file.size)
            return true;
    }
    return false;
}

// Marks the files of plan that the import recorded in destination has.
int MarkImported(ImportPlan& plan, const platform::Folder& destination) {
    const ImportRecord record = ImportRecord::read(destination);
    if (record.isEmpty())
        return 0;
    int found = 0;
    QSet<QString> clipsThere; // "PRG001\MOV001" of clips marked imported
    for (CardFile& file : plan.files) {
        if (!IsClip(file.name) || !record.holds(file) || !CopyStillThere(destination, file))
            continue;
        file.imported = true;
        clipsThere.insert(file.relative().chopped(4));
        ++found;
    }
    // An index file counts as imported while its copy is there, or once the
    // conversion of the copy used it with its clip and deleted it. One
    // without a clip on the card goes by the record alone.
    QSet<QString> clipsOnCard;
    for (const CardFile& file : std::as_const(plan.files))
        if (IsClip(file.name))
            clipsOnCard.insert(file.relative().chopped(4));
    for (CardFile& file : plan.files) {
        if (IsClip(file.name) || !record.holds(file))
            continue;
        const QString stem = file.relative().chopped(Extension(file.name).size());
        if (clipsOnCard.contains(stem) && !clipsThere.contains(stem) &&
            !CopyStillThere(destination, file))
            continue;
        file.imported = true;
        ++found;
    }
    return found;
}

QDate EarliestDate(const platform::Folder& card, const QList<CardFile>& files) {
    QDate earliest;
    auto consider = [&earliest](const QDate& date) {
        if (date.isValid() && (!earliest.isValid() || date < earliest))
            earliest = date;
    };
    platform::Folder sub;
    QString subName;
    for (const CardFile& file : files) {
        if (Extension(file.name).left(4) != u".MOI")
            continue;
        if (!file.folder.isEmpty() && (!sub.isOpen() || subName != file.folder)) {
            sub = platform::openSubfolderUntouched(card, file.folder);
            subName = file.folder;
        }
        int error = 0;
        const QByteArray head = platform::readHeadUntouched(file.folder.isEmpty() ? card : sub,
                                                            file.name, IndexHead, &error);
        consider(ParseClipIndex(head).recorded.date());
    }
    if (earliest.isValid())
        return earliest;
    // No index tells: the camera also gives each clip its recording time.
    for (const CardFile& file : files)
        if (IsClip(file.name))
            consider(QDateTime::fromMSecsSinceEpoch(file.modifiedMs).date());
    return earliest;
}

// The files of one folder of the card that the import copies.
void AddFiles(const platform::Folder& folder, const QString& folderName, QList<CardFile>& files,
              QStringList* subfolders) {
    for (const platform::DirEntry& entry :
         folder.list(QStringLiteral("*.*"), nullptr, /*kindsOnly=*/true)) {
        if (entry.name == u"." || entry.name == u".." || entry.isLink())
            continue;
        if (entry.isFolder()) {
            if (subfolders && IsRecordingFolderName(entry.name))
                *subfolders << entry.name;
            continue;
        }
        if (KindOf(entry.name) == FileKind::Other)
            continue;
        int error = 0;
        const platform::FileFacts facts = platform::fileFacts(folder, entry.name, &error);
        if (error != 0)
            continue; // not a plain file
        files << CardFile{folderName, entry.name, facts.size, facts.modifiedMs, false};
    }
}

} // namespace

QString CardFile::relative() const {
    return folder.isEmpty() ? name : folder + u'\\' + name;
}

int ImportPlan::toCopy() const {
    return int(files.size()) - alreadyImported();
}

int ImportPlan::alreadyImported() const {
    return int(std::count_if(files.cbegin(), files.cend(),
                             [](const CardFile& file) { return file.imported; }));
}

qint64 ImportPlan::bytesToCopy() const {
    qint64 bytes = 0;
    for (const CardFile& file : files)
        bytes += file.imported ? 0 : file.size;
    return bytes;
}

QString ImportFolderName(const QDate& date) {
    return FolderPrefix + date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString ImportRecordName() {
    return QStringLiteral("Importation de la carte.txt");
}

bool IsCardFolder(const QString& folder) {
    return platform::onRemovableVolume(folder);
}

QStringList ImportReportLines(const ImportReport& report) {
    QStringList lines;
    const QString where = report.destination;
    if (report.halted && report.halt.onCard) {
        lines << text::CardUnreadable.arg(report.halt.name.isEmpty() ? QStringLiteral("?")
                                                                     : report.halt.name,
                                          platform::IoError::messageFor(report.halt.code), where);
    } else if (report.halted && report.halt.code == platform::ErrDiskFull) {
        lines << text::DiskFull.arg(where);
    } else if (report.halted) {
        const QString what = report.halt.name.isEmpty() ? where : report.halt.name;
        lines << text::NotWritten.arg(what, platform::IoError::messageFor(report.halt.code));
    } else {
        lines << (report.stopped ? text::Stopped : text::Done).arg(where);
    }
    lines << text::Copied.arg(report.copied);
    if (report.alreadyImported > 0)
        lines << text::AlreadyThere.arg(report.alreadyImported);
    if (!report.failures.isEmpty()) {
        lines << text::FailuresHead;
        for (qsizetype i = 0; i < report.failures.size() && i < FailuresShown; ++i)
            lines << report.failures[i].name + QStringLiteral(" : ") + Reason(report.failures[i]);
        if (report.failures.size() > FailuresShown)
            lines << text::FailuresMore.arg(report.failures.size() - FailuresShown);
    }
    lines << text::CardKept;
    return lines;
}

ImportPlan PlanImport(const QString& cardFolder, const QString& videosFolder) {
    ImportPlan plan;
    plan.card = cardFolder;
    const platform::Folder card = platform::openUntouched(cardFolder, &plan.error);
    if (!card.isOpen())
        return plan;
    QStringList recordingFolders;
    AddFiles(card, QString(), plan.files, &recordingFolders);
    for (const QString& name : std::as_const(recordingFolders))
        AddFiles(platform::openSubfolderUntouched(card, name), name, plan.files, nullptr);
    plan.earliest = EarliestDate(card, plan.files);
    const QDate date = plan.earliest.isValid() ? plan.earliest : QDate::currentDate();

    // An earlier import of these recordings, in any folder an import named.
    const QString base = ImportFolderName(date);
    const platform::Folder videos = platform::Folder::open(videosFolder);
    QStringList taken;
    for (const platform::DirEntry& entry :
         videos.list(QStringLiteral("*.*"), nullptr, /*kindsOnly=*/true)) {
        taken << entry.name.toCaseFolded(); // as Windows would tell names apart
        if (!entry.isFolder() || entry.isLink() || !entry.name.startsWith(FolderPrefix))
            continue;
        if (MarkImported(plan, videos.openSubfolder(entry.name)) > 0 && !plan.earlierImport) {
            plan.earlierImport = true;
            plan.destination = Child(videosFolder, entry.name);
        }
    }
    if (plan.earlierImport)
        return plan;
    QString name = base;
    for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
        name = base + QStringLiteral(" (%1)").arg(n);
    plan.destination = Child(videosFolder, name);
    return plan;
}

SpaceCheck CheckSpace(const ImportPlan& plan) {
    SpaceCheck check;
    check.needed = plan.bytesToCopy() + SpaceMargin;
    // The destination may not exist yet: its disk is its nearest folder's.
    QString folder = plan.destination;
    for (;;) {
        check.available = platform::freeSpace(folder, &check.error);
        const QString parent =
            platform::winpath::withoutTrailingBackslash(platform::winpath::folderPart(folder));
        if (check.available >= 0 || parent == folder || parent.isEmpty())
            break;
        folder = parent;
    }
    return check;
}

ImportReport ImportCard(const ImportPlan& plan, const ImportHooks& hooks) {
    ImportReport report;
    report.destination = plan.destination;
    report.alreadyImported = plan.alreadyImported();
    auto halt = [&report](const QString& name, int code, bool onCard) {
        report.halted = true;
        report.halt = ImportFailure{name, code, onCard, false};
        return report;
    };

    int error = 0;
    const platform::Folder card = platform::openUntouched(plan.card, &error);
    if (!card.isOpen())
        return halt(QString(), error, true);
    // The videos folder and the destination are made as needed. A videos
    // folder that is a drive's root (a letter given to it, or the home folder
    // standing for it) has no parent to make it in: it is opened as it is.
    const QString videosPath = platform::winpath::withoutTrailingBackslash(
        platform::winpath::folderPart(plan.destination));
    const platform::Folder videosParent =
        platform::winpath::isDriveRoot(videosPath)
            ? platform::Folder()
            : platform::Folder::open(platform::winpath::withoutTrailingBackslash(
                                         platform::winpath::folderPart(videosPath)),
                                     &error);
    const platform::Folder videos =
        videosParent.isOpen()
            ? platform::makeSubfolder(videosParent, platform::winpath::fileName(videosPath), &error)
            : platform::Folder::open(videosPath, &error);
    if (!videos.isOpen())
        return halt(QString(), error, false);
    platform::Folder destination =
        platform::makeSubfolder(videos, platform::winpath::fileName(plan.destination), &error);
    if (!destination.isOpen())
        return halt(QString(), error, false);

    ImportRecord record = ImportRecord::read(destination);
    const qint64 total = plan.bytesToCopy();
    qint64 before = 0; // bytes of the files done
    int filesDone = 0;
    platform::Folder from, to;
    QString openFolder;
    bool folderOpen = false;
    for (const CardFile& file : plan.files) {
        if (file.imported)
            continue;
        if (hooks.stop && hooks.stop()) {
            report.stopped = true;
            break;
        }
        // The card's recording folder and its copy, opened once for their files.
        if (!folderOpen || file.folder != openFolder) {
            openFolder = file.folder;
            folderOpen = true;
            from = platform::Folder();
            to = platform::Folder();
            if (!file.folder.isEmpty()) {
                from = platform::openSubfolderUntouched(card, file.folder, &error);
                if (!from.isOpen())
                    return halt(file.folder, error, true);
                to = platform::makeSubfolder(
                    destination, DestinationFolderName(destination, file.folder), &error);
                if (!to.isOpen())
                    return halt(file.folder, error, false);
            }
        }
        const platform::Folder& source = file.folder.isEmpty() ? card : from;
        const platform::Folder& target = file.folder.isEmpty() ? destination : to;
        platform::CopyHooks copyHooks;
        copyHooks.stop = hooks.stop;
        if (hooks.progress)
            copyHooks.progress = [&](qint64 bytes) {
                hooks.progress(file.relative(), before + bytes, total, filesDone);
            };
        if (hooks.progress)
            hooks.progress(file.relative(), before, total, filesDone);
        const platform::CopyResult copy =
            platform::copyVerified(source, file.name, target, file.name, copyHooks);
        if (copy.stopped) {
            report.stopped = true;
            break;
        }
        if (copy.error != 0) {
            // A card that cannot be read, or a full disk, fails every file
            // after this one too.
            if (copy.sourceFailed || copy.error == platform::ErrDiskFull)
                return halt(file.relative(), copy.error, copy.sourceFailed);
            report.failures << ImportFailure{file.relative(), copy.error, false, copy.differs};
            before += file.size;
            continue;
        }
        before += file.size;
        ++filesDone;
        ++report.copied;
        report.bytesCopied += copy.bytes;
        if (const int recorded = record.add(destination, file); recorded != 0)
            return halt(ImportRecordName(), recorded, false);
        if (hooks.progress)
            hooks.progress(file.relative(), before, total, filesDone);
    }
    return report;
}

} // namespace strovan
