// WriteFileReplacing on POSIX: open(O_EXCL) a temporary file, write, fsync,
// rename(2) over the target.
#include "app/core/file_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sorvix {

FileWriteResult WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes) {
    FileWriteResult result;
    const std::filesystem::path temp = TemporaryPathFor(path, static_cast<unsigned>(getpid()));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) {
        // A leftover of an earlier process with the same id.
        ::unlink(temp.c_str());
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_EXCL | O_CLOEXEC, 0644);
    }
    if (fd < 0) {
        result.error = std::string("cannot create the temporary file: ") + std::strerror(errno);
        return result;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            result.error = std::string("write failed: ") + std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return result;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        result.error = std::string("flush failed: ") + std::strerror(errno);
        ::unlink(temp.c_str());
        return result;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        result.error = std::string("rename failed: ") + std::strerror(errno);
        ::unlink(temp.c_str());
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace sorvix
