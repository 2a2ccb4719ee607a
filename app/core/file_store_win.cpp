// WriteFileReplacing on Windows: CreateFileW(CREATE_NEW) a temporary file,
// WriteFile, FlushFileBuffers, MoveFileExW(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH) over the target.
#include "app/core/file_store.h"

#include <windows.h>

#include <algorithm>

namespace sorvix {
namespace {

std::string LastError(const char* what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

FileWriteResult WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes) {
    FileWriteResult result;
    const std::filesystem::path temp = TemporaryPathFor(path, GetCurrentProcessId());
    DeleteFileW(temp.c_str());   // a leftover of an earlier process with the same id
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = LastError("cannot create the temporary file");
        return result;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    if (!ok) result.error = LastError("write failed");
    if (ok && !FlushFileBuffers(file)) {
        ok = false;
        result.error = LastError("flush failed");
    }
    CloseHandle(file);
    if (ok && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        result.error = LastError("rename failed");
    }
    if (!ok) DeleteFileW(temp.c_str());
    result.ok = ok;
    return result;
}

}  // namespace sorvix
