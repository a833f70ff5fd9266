/* Stands in for the browser: registered as the program that opens .htm files
 * in a private Wine prefix, it writes down what it was asked to open and the
 * ANSI code page it ran under, then ends.
 *
 *   open-recorder.exe RECORD-FILE DOCUMENT
 *
 * RECORD-FILE receives one UTF-8 line: "<code page><TAB><document>". */

#include <windows.h>

#include <stdio.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    (void)instance, (void)previous, (void)commandLine, (void)show;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3)
        return 2;
    FILE* out = _wfopen(argv[1], L"ab");
    if (!out)
        return 1;
    char document[4 * MAX_PATH];
    if (!WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, document, sizeof document, NULL, NULL))
        document[0] = 0;
    fprintf(out, "%u\t%s\n", GetACP(), document);
    fclose(out);
    LocalFree(argv);
    return 0;
}
