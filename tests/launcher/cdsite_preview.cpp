// Shows the CD/DVD site window alone, to look at it in a virtual display.
//
//   cdsite_preview SUITE_FOLDER [filled|ask|saved] [START_PAGE]
//   cdsite_preview SUITE_FOLDER write START_PAGE
//
// SUITE_FOLDER is a Windows path on the drive table PELMORA_DRIVES names
// (the demo's C:\Pelmora). "filled" goes through the four steps on X:\ with
// the suite's site.ico and START_PAGE (index.htm when none is given); "ask"
// then presses the save button and leaves its question up; "saved" answers
// yes to it. "write" does what "saved" does and ends, having printed the
// text of every message box, one per line (CR as " / "): the Wine check of
// the disc's program makes its discs so, through the window itself.
#include "common/SuiteLayout.h"
#include "launcher/u_CdSite.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/WorkingFolder.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: cdsite_preview SUITE_FOLDER [filled|ask|saved|write] "
                             "[START_PAGE]\n");
        return 2;
    }
    const QString mode = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString page = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("index.htm");
    const bool write = mode == u"write";
    if (write)
        toolkit::setMessageHook([](const toolkit::MessageRequest& request) {
            std::printf("%s\n", qPrintable(QString(request.text).replace(u'\r', " / ")));
            std::fflush(stdout);
            return request.buttons == toolkit::Buttons::Ok ? toolkit::Answer::Ok
                                                           : toolkit::Answer::Yes;
        });
    if (const int code = platform::setCurrentFolder(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s\n", qPrintable(platform::IoError::messageFor(code)));
        return 1;
    }
    const QString suiteFolder = platform::currentFolder();
    pelmora::TForm3 site(suiteFolder);
    site.move(40, 30);
    site.show();

    if (!mode.isEmpty()) {
        site.DLB()->setDirectory(QStringLiteral("X:\\"));
        const auto pages = site.FLB()->findItems(page, Qt::MatchExactly);
        if (!pages.isEmpty())
            site.FLB()->setCurrentItem(pages.first());
        const QString icon = platform::toHostPath(suiteFolder + suite::below(suite::IconFolder) +
                                                  QStringLiteral("\\site.ico"));
        pelmora::setIconDialog([icon](QWidget*, const QString&) { return icon; });
        site.BtParcourirClick();
        pelmora::setIconDialog({});
    }
    if (write) {
        site.BtEnregClick();
        return 0;
    }
    if (mode == u"saved")
        toolkit::setMessageHook([](const toolkit::MessageRequest& request) {
            return request.buttons == toolkit::Buttons::Ok ? toolkit::Answer::Ok
                                                           : toolkit::Answer::Yes;
        });
    if (mode == u"ask" || mode == u"saved")
        QTimer::singleShot(500, &site, [&site] { site.BtEnregClick(); });
    return app.exec();
}
