// Paths the tests use to find fixture files and built tools, in a form the
// running program can open: natively the build's own paths, under Wine the
// same paths through the Z: drive that maps the Linux root.
#pragma once
#include <string>

namespace sorvix::test {

inline std::string HostPath(std::string p) {
#ifdef _WIN32
    for (char& c : p) {
        if (c == '/') c = '\\';
    }
    return "Z:" + p;
#else
    return p;
#endif
}

// A file below the source tree, e.g. SourcePath("tests/sites/fixtures/a.html").
inline std::string SourcePath(const std::string& rel) {
    return HostPath(std::string(SORVIX_SOURCE_DIR) + "/" + rel);
}

// A file below the build tree of the running configuration.
inline std::string BinaryPath(const std::string& rel) {
    return HostPath(std::string(SORVIX_BINARY_DIR) + "/" + rel);
}

}  // namespace sorvix::test
