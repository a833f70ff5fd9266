#!/usr/bin/env python3
"""Wraps the help pages of suite/docs/src/ into MHTML documents (suite/docs/).

Each document is one MIME multipart/related message: the page in UTF-8,
quoted-printable, followed by the pictures it shows, base64. Pictures are
named in the page relative to the page's Content-Location, as a saved web page
holds them. Fixed date and boundary: running this again gives the same bytes.
The .mht files are committed; run this again only to change them.
"""

import email.policy
import os
import sys
from email.mime.base import MIMEBase
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email import charset, encoders

HERE = os.path.dirname(os.path.abspath(__file__))
SUITE = os.path.normpath(os.path.join(HERE, ".."))
BASE = "https://orvane.example/aide/"
DATE = "Thu, 01 Jan 2026 10:00:00 +0100"

DOCUMENTS = [
    # (output, page source, subject, pictures)
    # (pictures are the programs' own, named from the repository's root)
    ("docs/Strovan.mht", "docs/src/strovan.html", "Strovan - Aide",
     ["../converter/pictures/banniere_strovan.jpg", "../converter/pictures/bt_action.jpg",
      "../converter/pictures/bt_menu.jpg"]),
    ("docs/CD_Site.mht", "docs/src/cd_site.html", "CD_Site - Aide",
     ["../launcher/pictures/banniere_pelmora.jpg"]),
]


def build(output, source, subject, pictures):
    with open(os.path.join(SUITE, source), encoding="utf-8") as f:
        page = f.read()
    name = os.path.splitext(os.path.basename(output))[0]

    message = MIMEMultipart("related", type="text/html",
                            boundary="----=_Pelmora_%s_Part" % name)
    message["From"] = "Pelmora"
    message["Subject"] = subject
    message["Date"] = DATE
    message.preamble = "Document MHTML : ouvrez-le avec un navigateur web."

    utf8_qp = charset.Charset("utf-8")
    utf8_qp.body_encoding = charset.QP
    html = MIMEText(page, "html", utf8_qp)
    del html["MIME-Version"]
    html["Content-Location"] = BASE + name.lower() + ".htm"
    message.attach(html)

    for picture in pictures:
        with open(os.path.join(SUITE, picture), "rb") as f:
            part = MIMEBase("image", "jpeg")
            part.set_payload(f.read())
        encoders.encode_base64(part)
        del part["MIME-Version"]
        part["Content-Location"] = BASE + os.path.basename(picture)
        message.attach(part)

    data = message.as_bytes(policy=email.policy.compat32.clone(linesep="\r\n"))
    with open(os.path.join(SUITE, output), "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (output, len(data)))


def main():
    for document in DOCUMENTS:
        build(*document)


if __name__ == "__main__":
    sys.exit(main())
