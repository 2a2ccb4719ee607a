// The portable half of file_store.h: reading and the temporary name.
#include "app/core/file_store.h"

#include <fstream>
#include <iterator>

namespace sorvix {

std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::filesystem::path TemporaryPathFor(const std::filesystem::path& path, unsigned tag) {
    std::filesystem::path temp = path;
    temp += std::filesystem::path("." + std::to_string(tag) + ".tmp");
    return temp;
}

}  // namespace sorvix
