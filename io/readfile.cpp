#include "io/readfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/exceptions.h"

namespace pictavo {

TPVReadFileStream::TPVReadFileStream(const std::string& name) : name_(name) {
  fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0) {
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      errno = EISDIR;
    }
  }
  if (fd_ < 0) throw EFOpenError("Cannot open file \"" + name + "\". " + std::strerror(errno));
}

TPVReadFileStream::~TPVReadFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t TPVReadFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::read(fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && error_ == 0) error_ = errno;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TPVReadFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (r < 0) r = ::lseek(fd_, 0, SEEK_CUR);
  return static_cast<int64_t>(r);
}

}  // namespace pictavo
