#include "input/workFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// The process id the holder wrote into the lock file, or empty.
std::string holderOf(int fd) {
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  std::string pid = n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
  while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
  return pid;
}
}  // namespace

std::string workFolderLockPath(const std::string& folder) {
  return (folder.empty() ? std::string(".") : folder) + "/.impactfem.lock";
}

WorkFolderLock::~WorkFolderLock() { release(); }

bool WorkFolderLock::acquire(const std::string& folder, std::string& why) {
  release();
  const std::string path = workFolderLockPath(folder);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    why = "cannot make the lock file " + path + ": " + std::strerror(errno);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    const std::string holder = holderOf(fd);
    ::close(fd);
    if (error == EWOULDBLOCK) {
      why = "the work folder " + (folder.empty() ? std::string(".") : folder) + " is in use by another run" +
            (holder.empty() ? std::string() : " (process " + holder + ")") + "; give each run a work folder of its own";
    } else {
      why = "cannot lock " + path + ": " + std::strerror(error);
    }
    return false;
  }
  fd_ = fd;
  // The holder's process id, for the message of a run that is refused; the
  // lock holds without it.
  const std::string pid = std::to_string(::getpid()) + "\n";
  const bool noted = ::ftruncate(fd_, 0) == 0 && ::pwrite(fd_, pid.data(), pid.size(), 0) > 0;
  (void)noted;
  return true;
}

void WorkFolderLock::release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}
