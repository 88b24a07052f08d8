#include "platform/os/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace os {

intptr_t OpenForReading(const char* name) {
    if (name == nullptr) return kInvalidFile;
    std::string path(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return kInvalidFile;
    struct stat st;
    // The lock belongs to this open file description: a second open of the
    // same file gets its own description and fails to lock.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return kInvalidFile;
    }
    return fd;
}

void CloseFile(intptr_t file) {
    if (file < 0) return;
    ::close(static_cast<int>(file));  // also drops the lock
}

uint32_t ReadFile(intptr_t file, void* destination, uint32_t count) {
    if (file < 0) return 0;
    auto* out = static_cast<char*>(destination);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(static_cast<int>(file), out + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

bool FileSize64(intptr_t file, uint64_t* size) {
    struct stat st;
    if (file < 0 || ::fstat(static_cast<int>(file), &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace os
