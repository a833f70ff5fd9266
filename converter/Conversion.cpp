#include "converter/Conversion.h"

#include "converter/CamcorderName.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"

namespace strovan {

namespace {

enum class FileKind { Clip, Index, Other };

// Decided on the extension, case-sensitively: ".MOD" exactly is a clip; an
// extension head ".MOI" or ".PGI" is an index file (".MOIX" too).
FileKind KindOf(QStringView name) {
    const QStringView extension = Extension(name);
    if (extension == u".MOD")
        return FileKind::Clip;
    const QStringView head = extension.left(4);
    if (head == u".MOI" || head == u".PGI")
        return FileKind::Index;
    return FileKind::Other;
}

// The walk tells entries apart by kind only: folder, link or file.
constexpr bool KindsOnly = true;

bool IsDotEntry(const QString& name) {
    return name == u"." || name == u"..";
}

// A top-level folder is a recording folder when its name has 6 characters or
// begins with "PRG".
bool IsRecordingFolder(const QString& name) {
    return CharacterCount(name) == 6 || name.startsWith(u"PRG");
}

// The walk holds each folder it works in open and addresses the entries by
// name within it: the same renames and deletions as on the full paths
// (selected folder + "\" + name), without looking the path up again for every
// entry, without a limit on the path's length, and without ever going through
// a link that replaced a folder during the walk.
class FolderConversion {
public:
    explicit FolderConversion(const ConversionNotice& notice) : m_notice(notice) {}

    void run(const QString& selectedFolder) {
        m_top = platform::Folder::open(selectedFolder);
        // Every entry but "." and ".." is processed, at a drive root too (it
        // lists no dots there). The listing is a snapshot: an entry renamed
        // during the walk is not met again under its new name.
        const QList<platform::DirEntry> entries =
            m_top.list(QStringLiteral("*.*"), nullptr, KindsOnly);
        for (const platform::DirEntry& entry : entries) {
            if (IsDotEntry(entry.name))
                continue;
            if (entry.isFolder()) {
                // A link to a folder is no recording folder: never followed.
                if (!entry.isLink() && IsRecordingFolder(entry.name))
                    p_ChangeNomRep(entry.name);
            } else {
                ConvertFile(m_top, entry.name);
            }
        }
    }

private:
    // Converts the recording folder name of the selected folder.
    void p_ChangeNomRep(const QString& name) {
        const QString newName = MapCamcorderName(name);
        if (newName != name)
            m_top.moveEntry(name, newName); // fails when newName exists: that one is walked
        // Never through a link, should newName be one.
        platform::Folder folder = m_top.openSubfolder(newName);
        const QList<platform::DirEntry> entries =
            folder.list(QStringLiteral("*.*"), nullptr, KindsOnly);
        for (const platform::DirEntry& entry : entries) {
            if (IsDotEntry(entry.name))
                continue;
            if (entry.isFolder()) {
                // Links to folders count as folders here: reported, not followed.
                if (m_notice)
                    m_notice(NestedFolderMessage());
                return;
            }
            ConvertFile(folder, entry.name);
        }
    }

    // Renames a clip as RenameCamcorderFile does, or deletes an index file;
    // other files stay as they are. A link to a file is renamed or deleted as
    // the link itself. Failures are not reported.
    static void ConvertFile(platform::Folder& in, const QString& name) {
        switch (KindOf(name)) {
        case FileKind::Clip:
            in.moveEntry(name, MapCamcorderName(name));
            break;
        case FileKind::Index:
            in.deleteEntry(name);
            break;
        case FileKind::Other:
            break;
        }
    }

    const ConversionNotice& m_notice;
    platform::Folder m_top;
};

} // namespace

QString NestedFolderMessage() {
    return QStringLiteral("Il ne doit pas y avoir de sous répertoires emboités");
}

void ConvertFolder(const QString& selectedFolder, const ConversionNotice& notice) {
    // Only an absolute "X:\..." path: anything else would be taken against
    // the working folder, which the walk must never depend on.
    const bool absolute = !platform::winpath::driveLetter(selectedFolder).isNull() &&
                          selectedFolder.size() >= 3 && selectedFolder[2] == u'\\';
    if (!absolute)
        return;
    FolderConversion(notice).run(selectedFolder);
}

} // namespace strovan
