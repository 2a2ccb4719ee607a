// Whole-file reading and a write that never loses the old file: the new
// bytes go to a temporary file beside the target (same folder, so the rename
// stays on one volume), are flushed to the disk, and the temporary file is
// then renamed over the target in one step. A write that fails at any point
// (no permission, disk full, the process killed) leaves the old file as it
// was and removes its temporary file. Paths are std::filesystem paths, so
// names with Chinese characters work on every system locale.
// Platform parts: file_store_posix.cpp, file_store_win.cpp.
// Covered by tests/app/appearance_test.cpp.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "text/text.h"

namespace sorvix {

// The whole file; nullopt when it is missing or cannot be read.
std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path);

struct FileWriteResult {
    bool ok = false;
    std::string error;   // ASCII/UTF-8, why it failed; empty on success
};

// Replaces (or creates) `path` with `bytes` as described above.
FileWriteResult WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes);

// The temporary name used for `path`: "<name>.<tag>.tmp" in the same folder.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path, unsigned tag);

}  // namespace sorvix
