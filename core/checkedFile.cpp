#include "core/checkedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/runStop.h"

namespace {
constexpr std::size_t kBufferBytes = std::size_t{1} << 16;

int openFlags(FileMode mode) {
  const int common = O_WRONLY | O_CREAT | O_CLOEXEC;
  return mode == FileMode::Append ? (common | O_APPEND) : (common | O_TRUNC);
}
}  // namespace

std::string partialFileName(const std::string& path) { return path + ".part"; }

CheckedFileBuf::CheckedFileBuf() : buffer_(kBufferBytes) { setp(nullptr, nullptr); }

CheckedFileBuf::~CheckedFileBuf() { close(); }

bool CheckedFileBuf::open(const std::string& path, FileMode mode) {
  close();
  mode_ = mode;
  path_ = path;
  writtenPath_ = mode == FileMode::Replace ? partialFileName(path) : path;
  failed_ = false;
  length_ = 0;
  whole_ = 0;
  fd_ = ::open(writtenPath_.c_str(), openFlags(mode), 0666);
  if (fd_ < 0) {
    report("cannot open", errno);  // nothing of ours to clean up
    return false;
  }
  if (mode == FileMode::Append) {
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    length_ = end > 0 ? end : 0;
    whole_ = length_;
  }
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return true;
}

void CheckedFileBuf::report(const char* what, int error) {
  failed_ = true;
  setp(nullptr, nullptr);
  requestRunStop(std::string(what) + " " + path_ + ": " + std::strerror(error));
}

void CheckedFileBuf::fail(const char* what, int error) {
  if (failed_) return;
  report(what, error);
  if (mode_ == FileMode::Replace) {
    discard();
    return;
  }
  // A growing file keeps its whole blocks and loses the broken one. A device
  // that cannot be cut (a character device) is left as it is.
  const int cut = fd_ >= 0 ? ::ftruncate(fd_, whole_) : ::truncate(writtenPath_.c_str(), whole_);
  (void)cut;
}

// Drops a Replace file: its temporary name is removed, so nothing half
// written is left in the folder.
void CheckedFileBuf::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(writtenPath_.c_str());
}

bool CheckedFileBuf::put(const char* data, std::size_t n) {
  if (failed_ || fd_ < 0) return false;
  while (n > 0) {
    const ssize_t done = ::write(fd_, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      fail("cannot write", done < 0 ? errno : ENOSPC);
      return false;
    }
    data += done;
    n -= static_cast<std::size_t>(done);
    length_ += done;
  }
  return true;
}

bool CheckedFileBuf::drain() {
  const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
  if (n > 0 && !put(pbase(), n)) return false;
  if (failed_) return false;
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return true;
}

CheckedFileBuf::int_type CheckedFileBuf::overflow(int_type c) {
  if (failed_ || fd_ < 0 || !drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize CheckedFileBuf::xsputn(const char* s, std::streamsize n) {
  if (failed_ || fd_ < 0) return 0;
  const std::size_t size = static_cast<std::size_t>(n);
  if (size <= static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), s, size);
    pbump(static_cast<int>(size));
    return n;
  }
  if (!drain()) return 0;
  if (size >= buffer_.size()) return put(s, size) ? n : 0;
  std::memcpy(pptr(), s, size);
  pbump(static_cast<int>(size));
  return n;
}

int CheckedFileBuf::sync() {
  if (fd_ < 0) return failed_ ? -1 : 0;
  if (!drain()) return -1;
  whole_ = length_;
  return 0;
}

bool CheckedFileBuf::writeBytes(const char* data, std::size_t n) { return drain() && put(data, n); }

bool CheckedFileBuf::close() {
  if (fd_ < 0) return !failed_;
  if (!failed_) sync();
  if (fd_ >= 0) {
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 && !failed_) fail("cannot close", errno);
  }
  setp(nullptr, nullptr);
  if (mode_ == FileMode::Replace && !failed_ && std::rename(writtenPath_.c_str(), path_.c_str()) != 0) {
    fail("cannot write", errno);
  }
  return !failed_;
}

CheckedFile::CheckedFile() : std::ostream(nullptr) { rdbuf(&buffer_); }

CheckedFile::CheckedFile(const std::filesystem::path& path, FileMode mode) : CheckedFile() { open(path, mode); }

CheckedFile::~CheckedFile() { buffer_.close(); }

bool CheckedFile::open(const std::filesystem::path& path, FileMode mode) {
  clear();
  if (!buffer_.open(path.string(), mode)) {
    setstate(std::ios::badbit);
    return false;
  }
  return true;
}

bool CheckedFile::open(const std::filesystem::path& path, std::ios::openmode mode) {
  return open(path, (mode & std::ios::app) ? FileMode::Append : FileMode::Fresh);
}

bool CheckedFile::close() {
  const bool ok = buffer_.close();
  if (!ok) setstate(std::ios::badbit);
  return ok;
}

bool CheckedFile::writeBytes(const char* data, std::size_t n) {
  const bool ok = buffer_.writeBytes(data, n);
  if (!ok) setstate(std::ios::badbit);
  return ok;
}

bool ensureOutputFolder(const std::filesystem::path& folder) {
  const std::filesystem::path at = folder.empty() ? std::filesystem::path(".") : folder;
  std::error_code ec;
  std::filesystem::create_directories(at, ec);
  if (std::filesystem::is_directory(at)) return true;
  requestRunStop("cannot create the folder " + at.string() + ": " +
                 (ec ? ec.message() : std::string("a file of that name is in the way")));
  return false;
}
