#include "converter/Conversion.h"

#include "converter/CamcorderName.h"
#include "converter/ClipIndex.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/FileUpdate.h"
#include "platform/WinPath.h"

#include <QSet>

#include <utility>
#include <vector>

namespace strovan {

namespace {

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

// The names a folder holds as the walk goes, renames included: the index
// file's clip is looked for here, without asking the disk again.
class Names {
public:
    explicit Names(const QList<platform::DirEntry>& entries) {
        for (const platform::DirEntry& entry : entries) {
            if (!entry.isFolder())
                m_names.insert(entry.name);
            if (entry.isLink())
                m_links.insert(entry.name);
        }
    }
    // A link is no file of the card's: what it leads to is never read.
    bool isLink(const QString& name) const { return m_links.contains(name); }
    void renamed(const QString& from, const QString& to) {
        m_names.remove(from);
        m_names.insert(to);
    }
    // The clip of index file NAME.MOI: NAME.MOD, or the name the conversion
    // gives it, renamed by this walk or an earlier one.
    QString clipOf(const QString& indexName) const {
        const QString clip = indexName.chopped(4) + QStringLiteral(".MOD");
        if (m_names.contains(clip))
            return clip;
        const QString converted = MapCamcorderName(clip);
        return m_names.contains(converted) ? converted : QString();
    }

private:
    QSet<QString> m_names;
    QSet<QString> m_links;
};

// The walk holds each folder it works in open and addresses the entries by
// name within it: the same renames and deletions as on the full paths
// (selected folder + "\\" + name), without looking the path up again for every
// entry, without a limit on the path's length, and without ever going through
// a link that replaced a folder during the walk.
class FolderConversion {
public:
    FolderConversion(const ConversionNotice& notice, const ConversionHooks& hooks)
        : m_notice(notice), m_hooks(hooks) {}

    ConversionReport run(platform::Folder selected) {
        m_top = std::move(selected);
        // Every entry but "." and ".." is processed, at a drive root too (it
        // lists no dots there). The listing is a snapshot: an entry renamed
        // during the walk is not met again under its new name.
        const QList<platform::DirEntry> entries =
            m_top.list(QStringLiteral("*.*"), nullptr, KindsOnly);
        Names names(entries);
        Batch top{m_top, QString()};
        for (const platform::DirEntry& entry : entries) {
            if (IsDotEntry(entry.name))
                continue;
            if (stopped())
                break;
            if (entry.isFolder()) {
                // A link to a folder is no recording folder: never followed.
                if (m_hooks.leaveAlone.contains(entry.name))
                    m_report.leftAlone << entry.name;
                else if (!entry.isLink() && IsRecordingFolder(entry.name))
                    p_ChangeNomRep(entry.name);
            } else {
                ConvertFile(top, names, entry.name);
            }
        }
        finish(top);
        return m_report;
    }

private:
    // A clip given what its index knew, not yet flushed to the disk.
    struct FixedClip {
        platform::UpdateFile file;
        QString name;
        QString index;
        bool widened = false;
        bool dated = false;
    };

    // The index files of one folder wait for the folder's end (or for a
    // batch of fixed clips to be full): the fixed clips are flushed first,
    // and an index goes only when what it knew is on the disk.
    struct Batch {
        Batch(platform::Folder& in, const QString& relative) : folder(in), prefix(relative) {}
        platform::Folder& folder;
        QString prefix; // the folder relative to the selected folder, with "\\"
        std::vector<FixedClip> fixed;
        QStringList indexes; // to delete, in listing order
    };
    // Each fixed clip stays open until the flush: well below any limit on
    // open files.
    static constexpr size_t BatchClips = 64;

    bool stopped() {
        if (!m_report.stopped && m_hooks.stop && m_hooks.stop())
            m_report.stopped = true;
        return m_report.stopped;
    }

    void fail(const Batch& batch, const QString& name, int code, ConversionFailure::Step step,
              const QString& keptIndex = QString()) {
        ConversionFailure failure;
        failure.name = batch.prefix + name;
        failure.code = code;
        failure.readOnly =
            code == platform::ErrAccessDenied && platform::readOnlyEntry(batch.folder, name);
        failure.keptIndex = keptIndex;
        failure.step = step;
        m_report.failures << failure;
    }

    // Converts the recording folder name of the selected folder.
    void p_ChangeNomRep(const QString& name) {
        const QString newName = MapCamcorderName(name);
        if (newName != name) {
            // Fails when newName exists: that one is walked.
            const int error = m_top.moveEntry(name, newName);
            if (error == 0)
                ++m_report.foldersRenamed;
            else
                fail(Batch{m_top, QString()}, name, error, ConversionFailure::Step::Rename);
        }
        // Never through a link, should newName be one.
        platform::Folder folder = m_top.openSubfolder(newName);
        const QList<platform::DirEntry> entries =
            folder.list(QStringLiteral("*.*"), nullptr, KindsOnly);
        Names names(entries);
        Batch batch{folder, newName + u'\\'};
        for (const platform::DirEntry& entry : entries) {
            if (IsDotEntry(entry.name))
                continue;
            if (entry.isFolder()) {
                // Links to folders count as folders here: reported, not followed.
                if (m_notice)
                    m_notice(NestedFolderMessage());
                break;
            }
            if (stopped())
                break;
            ConvertFile(batch, names, entry.name);
        }
        finish(batch);
    }

    // Renames a clip as RenameCamcorderFile does, or marks an index file for
    // deletion; other files stay as they are. A link to a file is renamed or
    // deleted as the link itself.
    void ConvertFile(Batch& batch, Names& names, const QString& name) {
        switch (KindOf(name)) {
        case FileKind::Clip: {
            const QString newName = MapCamcorderName(name);
            const int error = batch.folder.moveEntry(name, newName);
            if (error == 0) {
                ++m_report.clipsRenamed;
                names.renamed(name, newName);
            } else {
                fail(batch, name, error, ConversionFailure::Step::Rename);
            }
            ++m_clipsDone;
            if (m_hooks.progress)
                m_hooks.progress(batch.prefix + (error == 0 ? newName : name), false, m_clipsDone);
            break;
        }
        case FileKind::Index:
            if (Extension(name) == u".MOI" && !KeepIndexKnowledge(batch, names, name))
                return; // the index file stays: its clip still needs it
            batch.indexes << name;
            if (batch.fixed.size() >= BatchClips)
                finish(batch);
            break;
        case FileKind::Other:
            break;
        }
    }

    // Gives the clip of an index file the date and shape the index knows.
    // False when the index file must be kept.
    bool KeepIndexKnowledge(Batch& batch, const Names& names, const QString& indexName) {
        const QString clipName = names.clipOf(indexName);
        if (clipName.isEmpty() || names.isLink(indexName))
            return true; // no clip here to know anything of, or no index of its own
        int error = 0;
        const ClipIndex index = ReadClipIndex(batch.folder, indexName, &error);
        if (error != 0) {
            fail(batch, indexName, error, ConversionFailure::Step::ReadIndex, indexName);
            return false;
        }
        const bool widen = index.valid && index.shape == PictureShape::Wide;
        const bool date = index.valid && index.recorded.isValid();
        if (!widen && !date)
            return true;
        // Only what the index asks for opens the clip: a card without
        // index knowledge converts at the speed of its renames.
        const ConversionFailure::Step step =
            widen ? ConversionFailure::Step::Widen : ConversionFailure::Step::Date;
        platform::UpdateFile clip = platform::UpdateFile::openIn(batch.folder, clipName, widen, &error);
        if (!clip.isOpen()) {
            fail(batch, clipName, error, step, indexName);
            return false;
        }
        bool widened = false;
        if (widen) {
            if (m_hooks.progress)
                m_hooks.progress(batch.prefix + clipName, true, m_clipsDone);
            const AspectFix fix = WidenClip(clip, m_hooks.stop);
            if (fix.stopped) {
                m_report.stopped = true;
                return false;
            }
            if (fix.error != 0) {
                fail(batch, clipName, fix.error, step, indexName);
                return false;
            }
            widened = fix.headersWidened > 0;
        }
        // After the writes, which would set the time anew.
        if (date) {
            error = clip.setModificationTime(index.recorded);
            if (error != 0) {
                fail(batch, clipName, error, ConversionFailure::Step::Date, indexName);
                return false;
            }
        }
        batch.fixed.push_back({std::move(clip), clipName, indexName, widened, date});
        return true;
    }

    // Flushes the batch's fixed clips, then deletes its index files but those
    // whose clip's flush failed.
    void finish(Batch& batch) {
        QSet<QString> kept;
        for (FixedClip& fixed : batch.fixed) {
            if (const int error = fixed.file.flush(); error != 0) {
                fail(batch, fixed.name, error, ConversionFailure::Step::Flush, fixed.index);
                kept.insert(fixed.index);
                continue;
            }
            m_report.clipsWidened += fixed.widened ? 1 : 0;
            m_report.datesRestored += fixed.dated ? 1 : 0;
        }
        batch.fixed.clear();
        for (const QString& index : std::as_const(batch.indexes)) {
            if (kept.contains(index))
                continue;
            if (const int error = batch.folder.deleteEntry(index); error == 0)
                ++m_report.indexesDeleted;
            else
                fail(batch, index, error, ConversionFailure::Step::Delete);
        }
        batch.indexes.clear();
    }

    const ConversionNotice& m_notice;
    const ConversionHooks& m_hooks;
    platform::Folder m_top;
    ConversionReport m_report;
    int m_clipsDone = 0;
};

bool AbsolutePath(const QString& folder) {
    return !platform::winpath::driveLetter(folder).isNull() && folder.size() >= 3 &&
           folder[2] == u'\\';
}

} // namespace

QString NestedFolderMessage() {
    return QStringLiteral("Il ne doit pas y avoir de sous répertoires emboités");
}

bool IsCamcorderFolderName(const QString& name) {
    if (name.size() != 6 || !name.startsWith(u"PRG"))
        return false;
    for (const QChar c : QStringView(name).mid(3))
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return false;
    return true;
}

platform::Folder OpenSelectedFolder(const QString& selectedFolder) {
    // Only an absolute "X:\\..." path: anything else would be taken against
    // the working folder, which the conversion must never depend on.
    if (!AbsolutePath(selectedFolder))
        return {};
    return platform::Folder::open(selectedFolder);
}

ConversionPlan PlanConversion(const QString& selectedFolder) {
    return PlanConversion(OpenSelectedFolder(selectedFolder));
}

ConversionPlan PlanConversion(const platform::Folder& top) {
    ConversionPlan plan;
    auto countFiles = [&plan](const QList<platform::DirEntry>& entries, bool foreign) {
        for (const platform::DirEntry& entry : entries) {
            if (entry.isFolder())
                continue;
            const FileKind kind = KindOf(entry.name);
            const int clip = kind == FileKind::Clip ? 1 : 0;
            plan.clips += clip;
            plan.anything = plan.anything || kind != FileKind::Other;
            if (!foreign) {
                plan.clipsBesideForeign += clip;
                plan.anythingBesideForeign = plan.anythingBesideForeign || kind != FileKind::Other;
            }
        }
    };
    const QList<platform::DirEntry> entries = top.list(QStringLiteral("*.*"), nullptr, KindsOnly);
    countFiles(entries, false);
    for (const platform::DirEntry& entry : entries) {
        if (!entry.isFolder() || entry.isLink() || IsDotEntry(entry.name) ||
            !IsRecordingFolder(entry.name))
            continue;
        const bool renamed = MapCamcorderName(entry.name) != entry.name;
        const bool foreign = renamed && !IsCamcorderFolderName(entry.name);
        if (renamed) {
            plan.anything = true;
            plan.anythingBesideForeign = plan.anythingBesideForeign || !foreign;
            if (foreign)
                plan.foreign << entry.name;
        }
        countFiles(top.openSubfolder(entry.name).list(QStringLiteral("*.*"), nullptr, KindsOnly),
                   foreign);
    }
    return plan;
}

ConversionReport ConvertFolder(platform::Folder selected, const ConversionNotice& notice,
                               const ConversionHooks& hooks) {
    return FolderConversion(notice, hooks).run(std::move(selected));
}

ConversionReport ConvertFolder(const QString& selectedFolder, const ConversionNotice& notice,
                               const ConversionHooks& hooks) {
    return ConvertFolder(OpenSelectedFolder(selectedFolder), notice, hooks);
}

} // namespace strovan
