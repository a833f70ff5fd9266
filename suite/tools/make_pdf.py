#!/usr/bin/env python3
"""Writes suite/docs/PresRequis.pdf, the prerequisites of the suite.

A minimal PDF written by hand: the standard Helvetica fonts with
WinAnsiEncoding (so the accents of French need no embedded font), one content
stream per page, and a cross-reference table with exact byte offsets. The PDF
is committed; run this again only to change its text.
"""

import os
import sys

TITLE = "Pelmora : ce qu'il faut avant de commencer"

# (kind, text): "h1" title, "h2" heading, "p" paragraph, "li" item, "code" a
# line in a fixed font, "gap" some space.
CONTENT = [
    ("h1", "Pelmora"),
    ("h2b", "Ce qu'il faut avoir mis en place avant de commencer"),
    ("p", "Le menu Pelmora rassemble les outils de la suite qui servent à créer des "
          "pages web multimédias et un site à graver sur un CD ou un DVD. Avant "
          "d'utiliser ses boutons, vérifiez que les éléments ci-dessous sont prêts. "
          "Les outils ne les créent pas à votre place."),
    ("h2", "1. Un dossier qui deviendra la racine du disque"),
    ("p", "Créez sur le disque dur un dossier qui contiendra tout le site, exactement "
          "comme il devra se trouver sur le CD ou le DVD, par exemple :"),
    ("code", "C:\\MonSiteCD"),
    ("p", "Tout ce qui se trouve dans ce dossier sera gravé ; rien de ce qui se trouve "
          "en dehors ne le sera."),
    ("h2", "2. Un disque virtuel associé à ce dossier"),
    ("p", "Le disque virtuel est une lettre de lecteur (par exemple X:) qui désigne ce "
          "dossier. Le site se construit alors à la racine X:\\, comme sur le disque "
          "gravé, et les liens entre les pages restent justes. Sous Windows, la "
          "commande suivante crée le disque virtuel (à refaire après chaque "
          "redémarrage, par exemple par un raccourci placé dans le dossier Démarrage) :"),
    ("code", "subst X: C:\\MonSiteCD"),
    ("p", "Sous Linux, les programmes de la suite trouvent leurs lecteurs dans une table "
          "des lecteurs : un dossier qui contient un lien symbolique par lecteur (c:, "
          "x:...), chacun vers le dossier qui tient lieu de racine. Ce dossier est "
          "celui que nomme la variable d'environnement PELMORA_DRIVES, sinon "
          "~/.config/pelmora/drives."),
    ("h2", "3. Le fichier SUBST.INI de la suite"),
    ("p", "Le fichier SUBST.INI, dans le dossier de la suite, indique quelle lettre est "
          "le disque virtuel. Le convertisseur Strovan s'en sert pour se placer "
          "directement sur ce disque. La lettre s'écrit en majuscule, suivie de deux-points :"),
    ("code", "[DISQUES]"),
    ("code", "Virtuel=X:"),
    ("h2", "4. Une page de démarrage index.htm à la racine"),
    ("p", "La racine du disque virtuel doit contenir la page qui s'ouvrira à "
          "l'insertion du disque, en général index.htm. Elle peut être vide au début : "
          "elle doit seulement exister quand vous construisez les composantes du CD/DVD."),
    ("h2", "5. Un navigateur web"),
    ("p", "Les pages créées, l'aide de la suite et le site gravé s'ouvrent avec le "
          "navigateur par défaut de l'ordinateur."),
    ("h2", "6. Un programme de gravure"),
    ("p", "Pelmora prépare la racine du disque (Autorun.inf, zolvex.exe et l'icône) "
          "mais ne grave pas. Il faut un programme de gravure capable de graver le "
          "contenu d'un dossier sur un CD ou un DVD de données. Gravez le contenu de "
          "la racine, pas le dossier lui-même."),
    ("h2", "7. Pour les vidéos d'un caméscope JVC"),
    ("p", "Copiez sur le disque dur les dossiers du caméscope (PRG001, PRG002...). "
          "Strovan les transforme sur place : il renomme les fichiers .MOD en .MPG, "
          "leur rend leur date d'enregistrement, marque en 16:9 les films tournés en "
          "écran large et supprime les fichiers .MOI et .PGI. Il demande confirmation "
          "avant de renommer un dossier qui ne vient pas d'un caméscope, montre sa "
          "progression avec un bouton Annuler et fait le bilan à la fin. Travaillez sur "
          "une copie, jamais directement sur la carte ou le disque du caméscope."),
    ("h2", "8. Des icônes"),
    ("p", "Une icône (fichier .ico) donne son image au disque gravé. Le dossier ico de "
          "la suite en propose quelques-unes ; vous pouvez aussi choisir la vôtre."),
    ("h2", "9. L'écran"),
    ("p", "Écran conseillé : 1024 x 768 ou plus."),
    ("gap", ""),
    ("p", "En cas de doute, le bouton Aide du menu ouvre le mode d'emploi complet "
          "(Tavrin.htm)."),
    ("small", "Pelmora, Version 3.2 - 2026 - https://orvane.example/"),
]

PAGE_W, PAGE_H = 595, 842  # A4 in points
MARGIN_L, MARGIN_R, MARGIN_T, MARGIN_B = 56, 56, 60, 60

STYLES = {
    # font resource, size, leading, space before
    "h1": ("F2", 24, 28, 0),
    "h2b": ("F2", 14, 18, 10),
    "h2": ("F2", 12, 15, 10),
    "p": ("F1", 10.5, 13.5, 3),
    "code": ("F3", 10.5, 13.5, 2),
    "gap": ("F1", 10.5, 8, 0),
    "small": ("F1", 9, 12, 14),
}


def glyph_width(ch, bold):
    """Rough Helvetica advance in 1/1000 em; errs on the wide side."""
    if ch in " ,.;:'!|il\u00a0":
        w = 280
    elif ch in "fjrt-()[]/\\":
        w = 340
    elif ch in "mwMW":
        w = 890
    elif ch.isupper():
        w = 720
    elif ch.isdigit():
        w = 560
    else:
        w = 570
    return w * (1.06 if bold else 1.0)


def text_width(text, font, size):
    if font == "F3":  # Courier: fixed 600
        return len(text) * 600 * size / 1000
    return sum(glyph_width(c, font == "F2") for c in text) * size / 1000


def wrap(text, font, size, width):
    lines, line = [], ""
    for word in text.split(" "):
        candidate = word if not line else line + " " + word
        if line and text_width(candidate, font, size) > width:
            lines.append(line)
            line = word
        else:
            line = candidate
    lines.append(line)
    return lines


def pdf_string(text):
    data = text.encode("cp1252")  # WinAnsiEncoding is Windows-1252
    out = bytearray(b"(")
    for b in data:
        if b in b"()\\":
            out += b"\\" + bytes([b])
        elif b < 32 or b > 126:
            out += b"\\%03o" % b
        else:
            out.append(b)
    return bytes(out + b")")


def layout_pages():
    """Returns a list of pages, each a list of (font, size, x, y, text)."""
    pages, page = [], []
    y = PAGE_H - MARGIN_T
    width = PAGE_W - MARGIN_L - MARGIN_R
    for kind, text in CONTENT:
        font, size, leading, before = STYLES[kind]
        indent = 24 if kind == "code" else 0
        lines = wrap(text, font, size, width - indent) if text else [""]
        needed = before + leading * len(lines)
        # A heading stays with the first lines of what follows it.
        if kind.startswith("h2"):
            needed += 3 * 13.5
        if y - needed < MARGIN_B and page:
            pages.append(page)
            page, y = [], PAGE_H - MARGIN_T
        else:
            y -= before
        for line in lines:
            y -= leading
            if line:
                page.append((font, size, MARGIN_L + indent, y, line))
    pages.append(page)
    return pages


def content_stream(lines, number, count):
    ops = [b"0.15 0.15 0.15 rg"]
    for font, size, x, y, text in lines:
        colour = b"0.63 0.31 0 rg" if font == "F2" else b"0.15 0.15 0.15 rg"
        ops.append(colour)
        ops.append(b"BT /%s %g Tf %g %g Td %s Tj ET" % (font.encode(), size, x, y,
                                                        pdf_string(text)))
    # An orange rule under the title and the page number at the foot.
    if number == 1:
        ops.append(b"1 0.5 0 RG 2 w %g %g m %g %g l S" % (MARGIN_L, PAGE_H - MARGIN_T - 36,
                                                          PAGE_W - MARGIN_R,
                                                          PAGE_H - MARGIN_T - 36))
    ops.append(b"0.4 0.4 0.4 rg BT /F1 9 Tf %g %g Td %s Tj ET"
               % (PAGE_W / 2 - 20, MARGIN_B / 2, pdf_string("Page %d / %d" % (number, count))))
    return b"\n".join(ops) + b"\n"


def utf16_text(text):
    return b"<FEFF" + text.encode("utf-16-be").hex().upper().encode() + b">"


def build():
    pages = layout_pages()
    objects = {}  # number -> bytes of the object's body
    # 1 catalog, 2 pages, 3-5 fonts, 6 info, then per page: page object, content.
    fonts = {3: b"Helvetica", 4: b"Helvetica-Bold", 5: b"Courier"}
    first = 7
    kids = [first + 2 * i for i in range(len(pages))]
    objects[1] = b"<< /Type /Catalog /Pages 2 0 R /Lang (fr-FR) >>"
    objects[2] = (b"<< /Type /Pages /Kids [" + b" ".join(b"%d 0 R" % k for k in kids) +
                  b"] /Count %d >>" % len(pages))
    for number, name in fonts.items():
        objects[number] = (b"<< /Type /Font /Subtype /Type1 /BaseFont /" + name +
                           b" /Encoding /WinAnsiEncoding >>")
    objects[6] = (b"<< /Title " + utf16_text(TITLE) + b" /Author " + utf16_text("Orvane") +
                  b" /Producer (make_pdf.py) >>")
    for i, lines in enumerate(pages):
        page_no, content_no = first + 2 * i, first + 2 * i + 1
        stream = content_stream(lines, i + 1, len(pages))
        objects[page_no] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] "
                            b"/Resources << /Font << /F1 3 0 R /F2 4 0 R /F3 5 0 R >> >> "
                            b"/Contents %d 0 R >>" % (PAGE_W, PAGE_H, content_no))
        objects[content_no] = (b"<< /Length %d >>\nstream\n" % len(stream) + stream +
                               b"endstream")

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for number in sorted(objects):
        offsets[number] = len(out)
        out += b"%d 0 obj\n" % number + objects[number] + b"\nendobj\n"
    xref = len(out)
    count = max(objects) + 1
    out += b"xref\n0 %d\n" % count
    out += b"0000000000 65535 f \n"
    for number in range(1, count):
        out += b"%010d 00000 n \n" % offsets[number]
    out += (b"trailer\n<< /Size %d /Root 1 0 R /Info 6 0 R >>\nstartxref\n%d\n%%%%EOF\n"
            % (count, xref))
    return bytes(out), len(pages)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, "..", "docs", "PresRequis.pdf")
    data, count = build()
    with open(target, "wb") as f:
        f.write(data)
    print("%s: %d bytes, %d page(s)" % (os.path.normpath(target), len(data), count))


if __name__ == "__main__":
    sys.exit(main())
