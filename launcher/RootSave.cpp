#include "launcher/RootSave.h"

#include "common/SuiteLayout.h"
#include "launcher/AutorunInf.h"
#include "launcher/FmxUtils.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"

#include <exception>

namespace pelmora {

namespace {

namespace wp = platform::winpath;

// The reasons a step fails, in one place.
namespace text {
const QString NoIcon = QStringLiteral("aucune icône choisie");
const QString IconMissing = QStringLiteral("icône absente : %1");
const QString ProgramMissing = QStringLiteral("programme Zolvex.exe absent de %1");
const QString WriteRefused = QStringLiteral("écriture refusée sur %1");

const QString ProgramFolder = suite::below(suite::AutorunFolder);
const QString ProgramSource = ProgramFolder + suite::below(suite::AutorunProgram);
} // namespace text

struct Save {
    const QString& root;
    const QString& suiteFolder;
    const QString& iconPath;
    SaveStep step = SaveStep::None;

    QString failedStep(const std::exception& error) const {
        // A source that cannot be read (not an ordinary file, say) says so itself.
        const auto* unreadable = dynamic_cast<const FileOpenError*>(&error);
        switch (step) {
        case SaveStep::Autorun:
            return text::WriteRefused.arg(root + AutorunInfName);
        case SaveStep::Program:
            if (!platform::fileExists(suiteFolder + text::ProgramSource))
                return text::ProgramMissing.arg(suiteFolder + text::ProgramFolder);
            if (unreadable)
                return unreadable->message();
            return text::WriteRefused.arg(root + AutorunProgramName);
        case SaveStep::Icon:
            if (iconPath.isEmpty())
                return text::NoIcon;
            if (!platform::fileExists(iconPath))
                return text::IconMissing.arg(iconPath);
            if (unreadable)
                return unreadable->message();
            return text::WriteRefused.arg(root + wp::fileName(iconPath));
        case SaveStep::None:
            break;
        }
        return {};
    }
};

} // namespace

RootSaveOutcome SaveRoot(const QString& root, const QByteArray& autorun, const QString& suiteFolder,
                         const QString& iconPath,
                         const std::function<void(SaveStep)>& stepStarting) {
    Save save{root, suiteFolder, iconPath};
    auto start = [&](SaveStep step) {
        save.step = step;
        if (stepStarting)
            stepStarting(step);
    };
    try {
        start(SaveStep::Autorun);
        int error = platform::NoError;
        platform::Folder rootFolder = platform::Folder::open(root, &error);
        if (!rootFolder.isOpen())
            throw platform::IoError(error);
        // Each name written is looked for without regard to case: one reading
        // of a large root for the whole save, kept current between its writes
        // (the look for stale files below is that reading).
        rootFolder.watchNames();
        // What an earlier save killed on the way left must not reach the disc.
        rootFolder.removeStaleReplacements();
        WriteAutorunInf(rootFolder, autorun);

        start(SaveStep::Program);
        const QString program = root + AutorunProgramName;
        // A new file, neither read-only nor hidden: nothing to clear after it,
        // and nothing is ever done by its name once it stands at the root.
        CopyIntoFolder(suiteFolder + text::ProgramSource, rootFolder, program);

        start(SaveStep::Icon);
        const QString iconName = wp::fileName(iconPath);
        const QString icon = root + iconName;
        // An icon already at the root is the user's: it stays as it is.
        const std::uint32_t present = rootFolder.entryAttributes(rootFolder.entryName(iconName));
        if (present == platform::InvalidAttributes || (present & platform::AttrDirectory)) {
            if (iconPath.isEmpty())
                throw FileOpenError(QStringLiteral("Aucune icône choisie"));
            CopyIntoFolder(iconPath, rootFolder, icon);
        }
    } catch (const std::exception& e) {
        return {save.step, save.failedStep(e)};
    }
    return {};
}

} // namespace pelmora
