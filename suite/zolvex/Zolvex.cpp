// The disc's autorun program. Windows starts it from the root of a burnt
// CD/DVD (the "OPEN=" line of Autorun.inf); it opens the site's start page,
// named by the "HTM=" line of the same file, with the default browser.

#include "AutorunIni.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

const wchar_t caption[] = L"Zolvex";

// Autorun.inf is four short lines; anything much larger is not ours.
constexpr DWORD maxInfSize = 64 * 1024;

void tell(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), caption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

// The folder of this program, with its trailing backslash.
std::wstring ownFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            const std::wstring path(buffer.data(), length);
            const auto slash = path.find_last_of(L"\\/");
            return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid())
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool readWholeFile(const std::wstring& path, std::string& bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    std::vector<char> buffer(maxInfSize);
    DWORD total = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.data() + total, maxInfSize - total, &got, nullptr))
            return false;
        if (got == 0 || (total += got) == maxInfSize)
            break;
    }
    bytes.assign(buffer.data(), total);
    return true;
}

bool isAbsolute(const std::wstring& path) {
    return (path.size() >= 2 && path[1] == L':') || (path.size() >= 1 && path[0] == L'\\');
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring folder = ownFolder();
    const std::wstring infPath = folder + L"Autorun.inf";

    std::string bytes;
    if (!readWholeFile(infPath, bytes)) {
        tell(L"Le fichier Autorun.inf est introuvable à côté de ce programme :\n" + infPath);
        return 1;
    }
    // Read in the form the launcher wrote the file, never in this machine's
    // ANSI code page.
    const auto value = zolvex::findIniValue(bytes, u"Autorun", u"HTM");
    if (!value || value->empty()) {
        tell(L"Le fichier " + infPath +
             L"\nne nomme aucune page de démarrage : il lui manque la ligne HTM= de la section "
             L"[Autorun].");
        return 1;
    }

    std::wstring page(value->begin(), value->end());
    for (wchar_t& c : page) {
        if (c == L'/')
            c = L'\\';
    }
    const std::wstring target = isAbsolute(page) ? page : folder + page;
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        tell(L"La page de démarrage est introuvable :\n" + target);
        return 1;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
    if (result <= 32) {
        tell(L"La page de démarrage n'a pas pu être ouverte :\n" + target + L"\n(erreur " +
             std::to_wstring(result) + L")");
        return 1;
    }
    return 0;
}
