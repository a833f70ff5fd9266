#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The save of the CD/DVD site window, without the window: what a disc burnt
// from the root needs to open the site by itself, written at the root.
namespace pelmora {

// The steps of the save, in their order.
enum class SaveStep { None, Autorun, Program, Icon };

// What a save came to: the step that failed, with the reason as the user is
// to read it; SaveStep::None when everything was written.
struct RootSaveOutcome {
    SaveStep failedStep = SaveStep::None;
    QString reason;
    bool saved() const { return failedStep == SaveStep::None; }
};

// Writes Autorun.inf (autorun, encoded already), the autorun program from the
// suite folder and the icon at iconPath into the drive root; an icon already
// at the root is the user's and stays as it is. stepStarting, when given, is
// told of each step before it starts. The root is looked up once; its files
// are written as its own entries, never through a link in their place.
RootSaveOutcome SaveRoot(const QString& root, const QByteArray& autorun,
                         const QString& suiteFolder, const QString& iconPath,
                         const std::function<void(SaveStep)>& stepStarting = {});

} // namespace pelmora
