/* Asks the Windows profile reader for each query of a list and writes its
 * answers, one line per query, in the escaped form of the corpus table.
 *
 *   profile-query.exe QUERIES CORPUS-FOLDER OUTPUT
 *
 * QUERIES holds "file<TAB>section<TAB>key" lines (section and key escaped as
 * below); the answer line repeats them and adds "-" when the default came
 * back (no such value) or "=" and the escaped value. Escapes: \\ \t \n \r,
 * \xNN for other controls, \uNNNN for every character above 0x7E. */

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define VALUE_CHARS (1 << 20)

static const WCHAR absent[] = L"\x1b<absent>\x1b";

static int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static long hexNumber(const char* text, int digits) {
    long value = 0;
    for (int i = 0; i < digits; ++i) {
        const int h = hexValue(text[i]);
        if (h < 0)
            return -1;
        value = value * 16 + h;
    }
    return value;
}

/* Unescapes text[0..length) into out (at least length + 1 characters). */
static void unescape(const char* text, size_t length, WCHAR* out) {
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '\\' || i + 1 >= length) {
            out[n++] = (unsigned char)text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 't')
            out[n++] = L'\t';
        else if (c == 'n')
            out[n++] = L'\n';
        else if (c == 'r')
            out[n++] = L'\r';
        else if (c == 'x' && i + 2 < length && hexNumber(text + i + 1, 2) >= 0) {
            out[n++] = (WCHAR)hexNumber(text + i + 1, 2);
            i += 2;
        } else if (c == 'u' && i + 4 < length && hexNumber(text + i + 1, 4) >= 0) {
            out[n++] = (WCHAR)hexNumber(text + i + 1, 4);
            i += 4;
        } else
            out[n++] = (WCHAR)(unsigned char)c;
    }
    out[n] = 0;
}

static void writeEscaped(FILE* out, const WCHAR* text) {
    for (; *text; ++text) {
        const unsigned c = *text;
        if (c == '\\')
            fputs("\\\\", out);
        else if (c == '\t')
            fputs("\\t", out);
        else if (c == '\n')
            fputs("\\n", out);
        else if (c == '\r')
            fputs("\\r", out);
        else if (c < 0x20 || c == 0x7F)
            fprintf(out, "\\x%02X", c);
        else if (c > 0x7E)
            fprintf(out, "\\u%04X", c);
        else
            fputc((int)c, out);
    }
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        fputs("usage: profile-query QUERIES CORPUS-FOLDER OUTPUT\n", stderr);
        return 2;
    }
    FILE* queries = _wfopen(argv[1], L"rb");
    FILE* out = _wfopen(argv[3], L"wb");
    if (!queries || !out) {
        fputs("cannot open the query list or the output\n", stderr);
        return 1;
    }
    WCHAR* value = malloc(VALUE_CHARS * sizeof(WCHAR));
    static char line[65536];
    static WCHAR file[4096], section[4096], key[4096], path[8192];
    int count = 0;
    while (value && fgets(line, sizeof line, queries)) {
        size_t length = strcspn(line, "\r\n");
        line[length] = 0;
        if (length == 0 || line[0] == '#')
            continue;
        char* tab1 = strchr(line, '\t');
        char* tab2 = tab1 ? strchr(tab1 + 1, '\t') : NULL;
        if (!tab2) {
            fprintf(stderr, "bad query line: %s\n", line);
            return 1;
        }
        unescape(line, (size_t)(tab1 - line), file);
        unescape(tab1 + 1, (size_t)(tab2 - tab1 - 1), section);
        unescape(tab2 + 1, strlen(tab2 + 1), key);
        _snwprintf(path, sizeof path / sizeof path[0], L"%ls\\%ls", argv[2], file);
        path[sizeof path / sizeof path[0] - 1] = 0;
        GetPrivateProfileStringW(section, key, absent, value, VALUE_CHARS, path);
        fwrite(line, 1, (size_t)(tab2 - line), out);
        fputc('\t', out);
        fputs(tab2 + 1, out);
        if (wcscmp(value, absent) == 0)
            fputs("\t-\n", out);
        else {
            fputs("\t=", out);
            writeEscaped(out, value);
            fputc('\n', out);
        }
        ++count;
    }
    fclose(out);
    fclose(queries);
    free(value);
    fprintf(stderr, "%d queries answered\n", count);
    return 0;
}
