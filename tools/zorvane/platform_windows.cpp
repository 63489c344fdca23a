// The platform layer on Windows: UTF-16 file names and command line
// converted at this boundary, so the rest of the tool sees UTF-8 only.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform.hpp"

// The C runtime's own splitting of the UTF-16 command line (as main's argv
// gets it, in the ANSI code page), without loading shell32 for CommandLineToArgvW.
struct StartupInfo {
    int newMode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expandWildcards,
                              StartupInfo* startup);

namespace zorvane_cli {

const char* const kPathSeparators = "/\\";

namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

std::string utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// The system's text for an error code, without its closing line break.
std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length ? utf8(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

bool isConsole(DWORD handle) {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(handle), &mode) != 0;
}

UINT consoleCodePage = 0;
void restoreConsoleCodePage() { SetConsoleOutputCP(consoleCodePage); }

}  // namespace

void prepareStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Messages name files in UTF-8; the console's own code page is given back on exit.
    if (isConsole(STD_OUTPUT_HANDLE) || isConsole(STD_ERROR_HANDLE)) {
        consoleCodePage = GetConsoleOutputCP();
        if (consoleCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(restoreConsoleCodePage);
    }
}

Arguments::Arguments(int, char**) {
    int count = 0;
    wchar_t** wideArguments = nullptr;
    wchar_t** environment = nullptr;
    StartupInfo startup{0};
    if (__wgetmainargs(&count, &wideArguments, &environment, 0, &startup) < 0) count = 0;
    for (int i = 0; i < count; ++i) texts_.push_back(utf8(wideArguments[i], wcslen(wideArguments[i])));
    for (auto& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

std::string executableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return ".\\";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::string exe = utf8(path.data(), path.size());
    return exe.substr(0, exe.find_last_of(kPathSeparators) + 1);
}

bool standardErrorIsConsole() { return isConsole(STD_ERROR_HANDLE); }

void* loadLibrary(const std::string& path, std::string& reason) {
    // No "cannot find the DLL" box from the system: the reason goes to the caller.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryW(wide(path).c_str());
    reason = library ? "" : systemMessage(GetLastError());
    SetErrorMode(errorMode);
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name, std::string& reason) {
    FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name);
    reason = symbol ? "" : systemMessage(GetLastError());
    return reinterpret_cast<void*>(symbol);
}

void freeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string createFileBeside(const std::string& path) {
    // A name no other run uses at the same time: this process's id and a count.
    static unsigned counter = 0;
    for (int attempt = 0;; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".tmp-%lx-%x", GetCurrentProcessId(), counter++);
        const std::string name = path + suffix;
        HANDLE file = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return name;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS || attempt == 100)
            throw std::runtime_error("cannot write " + path + ": " + systemMessage(error));
    }
}

// NTFS allocates as a file is written, and replacing one forces nothing out.
void setAsideFileSpace(const std::string&, std::uint64_t) {}
void releaseFileSpacePastEnd(const std::string&) {}

void replaceFile(const std::string& from, const std::string& to) {
    if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw std::runtime_error("cannot write " + to + ": " + systemMessage(GetLastError()));
}

namespace {

DWORD WINAPI runTask(void* task) {
    (*static_cast<const std::function<void()>*>(task))();
    return 0;
}

}  // namespace

// mingw-w64's win32 thread model has no std::thread: the system's own threads.
bool runOnTwoThreads(const std::function<void()>& here, const std::function<void()>& there) {
    HANDLE other = CreateThread(nullptr, 0, runTask, const_cast<std::function<void()>*>(&there), 0, nullptr);
    if (!other) return false;
    here();
    WaitForSingleObject(other, INFINITE);
    CloseHandle(other);
    return true;
}

}  // namespace zorvane_cli
