// Result files whose every write, flush and close is checked. A failure (full
// disk, read-only folder, a folder where the file should be) asks the run to
// stop with a message naming the file (core/runStop.h), and the file is left
// whole:
// - a file written at one output point (Replace) is written as "<name>.part"
//   in its folder and renamed over <name> when it is closed complete, so an
//   interrupted or failed run leaves it whole or absent;
// - a file that grows over the run (Fresh, Append: histories, the progress
//   log, the run record) grows by whole blocks: everything up to the last
//   flush (std::endl, flush(), close()) is whole; a failed write cuts the file
//   back to that point. Writers flush only at the end of a line or a block.
#pragma once
#include <sys/types.h>

#include <filesystem>
#include <ios>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

enum class FileMode {
  Replace,  // "<path>.part", renamed over path when closed whole
  Fresh,    // emptied at open, then grows
  Append,   // grows from its present end
};

class CheckedFileBuf : public std::streambuf {
 public:
  CheckedFileBuf();
  ~CheckedFileBuf() override;
  CheckedFileBuf(const CheckedFileBuf&) = delete;
  CheckedFileBuf& operator=(const CheckedFileBuf&) = delete;

  bool open(const std::string& path, FileMode mode);
  bool close();
  bool isOpen() const { return fd_ >= 0; }
  bool failed() const { return failed_; }
  const std::string& path() const { return path_; }
  // Writes bytes after whatever the buffer holds, without copying them.
  bool writeBytes(const char* data, std::size_t n);

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  bool drain();
  bool put(const char* data, std::size_t n);
  void report(const char* what, int error);
  void fail(const char* what, int error);
  void discard();

  int fd_ = -1;
  FileMode mode_ = FileMode::Fresh;
  std::string path_;         // the file as the user sees it
  std::string writtenPath_;  // the file written: path_ or "<path_>.part"
  std::vector<char> buffer_;
  off_t length_ = 0;  // bytes in the file
  off_t whole_ = 0;   // length at the last flush
  bool failed_ = false;
};

class CheckedFile : public std::ostream {
 public:
  CheckedFile();
  CheckedFile(const std::filesystem::path& path, FileMode mode);
  // Closes the file: a Replace file that was written without failure is
  // renamed into place, as if close() had been called.
  ~CheckedFile() override;

  // Opens path; false (after a stop request) when it cannot be opened.
  bool open(const std::filesystem::path& path, FileMode mode);
  // The stream-style form: std::ios::app appends, any other mode starts the
  // file afresh.
  bool open(const std::filesystem::path& path, std::ios::openmode mode = std::ios::out);
  bool is_open() const { return buffer_.isOpen(); }
  // Flushes and closes; a Replace file is renamed into place. False when any
  // write, the flush, the close or the rename failed (the run is asked to
  // stop; a Replace file is then removed, a growing file cut back to its last
  // whole block).
  bool close();
  // Raw bytes, past the stream's formatting (large prepared blocks).
  bool writeBytes(const char* data, std::size_t n);
  const std::string& path() const { return buffer_.path(); }

 private:
  CheckedFileBuf buffer_;
};

// The name a Replace file has while it is written.
std::string partialFileName(const std::string& path);

// Creates a folder (and its parents) when it does not exist; false, after a
// stop request naming the folder, when that fails or a file stands there.
bool ensureOutputFolder(const std::filesystem::path& folder);
