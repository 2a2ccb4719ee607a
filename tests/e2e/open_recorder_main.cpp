// The stand-in the end-to-end tests register in their Wine prefix as the
// shell's handler for http, https, magnet, ed2k and thunder links, so that a
// link the program opens is recorded instead of reaching a real browser.
//   open_recorder.exe LINK   appends LINK and a line break (UTF-8) to the file
//                            named by the environment variable SORVIX_OPEN_LOG
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const wchar_t* log = _wgetenv(L"SORVIX_OPEN_LOG");
    if (!log || !*log) return 2;
    std::wstring link = argv[1];
    for (int i = 2; i < argc; ++i) link += L" " + std::wstring(argv[i]);
    int n = WideCharToMultiByte(CP_UTF8, 0, link.c_str(), static_cast<int>(link.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, link.c_str(), static_cast<int>(link.size()), utf8.data(), n, nullptr, nullptr);
    FILE* f = _wfopen(log, L"ab");
    if (!f) return 1;
    std::fwrite(utf8.data(), 1, utf8.size(), f);
    std::fputc('\n', f);
    std::fclose(f);
    return 0;
}
