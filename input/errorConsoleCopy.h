// A copy of what the program tells standard error (through stderr and
// std::cerr alike) while the copy lives, passed on to the console as it is
// written: the readers and the set-up name there why they refuse a deck, and
// the run record gets the same reason.
#pragma once
#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <streambuf>
#include <string>

class ErrorConsoleCopy {
 public:
  ErrorConsoleCopy();
  ~ErrorConsoleCopy();
  ErrorConsoleCopy(const ErrorConsoleCopy&) = delete;
  ErrorConsoleCopy& operator=(const ErrorConsoleCopy&) = delete;

  // Ends the copy: standard error is the console's again.
  void stop();
  // What was written, at most the last 64 KiB of it.
  const std::string& text() const { return text_; }

 private:
  static ssize_t write(void* self, const char* data, std::size_t n);

  std::string text_;
  std::FILE* console_ = nullptr;  // stderr as it was
  std::FILE* copy_ = nullptr;     // stderr while the copy lives
  std::unique_ptr<std::streambuf> cerrBuffer_;
  std::streambuf* cerrConsole_ = nullptr;
};
