#pragma once

#include "common/Version.h"

#include <QString>
#include <QStringView>

// Texts that both programs of the suite show: the version, the author and the
// web addresses. Data only; the launcher and the converter share nothing else.
// The addresses are kept short: the labels that show them have fixed widths.
namespace suite {

// Shown by the launcher's menu, the converter and the CD/DVD site window.
inline QString versionText() {
    return QStringLiteral("Version " PELMORA_VERSION " - " PELMORA_RELEASE_YEAR);
}

// Address A: the author's site (the launcher's two link labels both open it).
inline QString addressA() {
    return QStringLiteral("orvane.example");
}

// Address B: a second site, shown beside address A.
inline QString addressB() {
    return QStringLiteral("velisa.example");
}

// The three sites recommended in the CD/DVD site window, top to bottom.
inline QString siteAddress1() {
    return QStringLiteral("brisa.example");
}
inline QString siteAddress2() {
    return QStringLiteral("nemora.example");
}
inline QString siteAddress3() {
    return QStringLiteral("ilo.example");
}

// The author, as the video help window names him.
inline QString authorName() {
    return QStringLiteral("Orvane");
}
inline QString authorLabelText() {
    return QStringLiteral("Auteur : ") + authorName();
}

// The address to hand to the browser for a shown address: an address written
// without a scheme would otherwise be taken for a file name.
inline QString webUrl(QStringView address) {
    if (address.contains(u"://"))
        return address.toString();
    return QStringLiteral("https://") + address.toString() + QLatin1Char('/');
}

} // namespace suite
