#include "input/errorConsoleCopy.h"

#include <iostream>

namespace {
constexpr std::size_t kKeptBytes = 64 * 1024;

// std::cerr's writes, handed to a C stream unbuffered.
class FileBuffer : public std::streambuf {
 public:
  explicit FileBuffer(std::FILE* file) : file_(file) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return std::fwrite(&ch, 1, 1, file_) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    return static_cast<std::streamsize>(std::fwrite(s, 1, static_cast<std::size_t>(n), file_));
  }

 private:
  std::FILE* file_;
};
}  // namespace

ErrorConsoleCopy::ErrorConsoleCopy() {
  const cookie_io_functions_t calls{nullptr, &ErrorConsoleCopy::write, nullptr, nullptr};
  copy_ = fopencookie(this, "w", calls);
  if (copy_ == nullptr) return;  // the console alone, without a copy
  std::setvbuf(copy_, nullptr, _IONBF, 0);
  std::cerr.flush();
  std::fflush(stderr);
  console_ = stderr;
  stderr = copy_;
  cerrBuffer_ = std::make_unique<FileBuffer>(copy_);
  cerrConsole_ = std::cerr.rdbuf(cerrBuffer_.get());
}

ErrorConsoleCopy::~ErrorConsoleCopy() { stop(); }

void ErrorConsoleCopy::stop() {
  if (copy_ == nullptr) return;
  std::cerr.rdbuf(cerrConsole_);
  stderr = console_;
  std::fclose(copy_);
  copy_ = nullptr;
}

// Called under the copy stream's lock, so one writer at a time.
ssize_t ErrorConsoleCopy::write(void* self, const char* data, std::size_t n) {
  auto* copy = static_cast<ErrorConsoleCopy*>(self);
  const std::size_t written = std::fwrite(data, 1, n, copy->console_);
  copy->text_.append(data, written);
  if (copy->text_.size() > kKeptBytes) copy->text_.erase(0, copy->text_.size() - kKeptBytes);
  return static_cast<ssize_t>(written);
}
