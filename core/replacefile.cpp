#include "core/replacefile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <filesystem>
#include <random>

#include "platform/exceptions.h"

namespace pictavo {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinkHops = 40;            // as the kernel's own limit on link chains
constexpr int kTempNameAttempts = 100;      // fresh names tried before giving up
constexpr int kRandomNameChars = 16;        // 16 of 62 symbols: about 95 bits
constexpr size_t kMaxBaseInTempName = 180;  // stays below NAME_MAX with the decoration
constexpr mode_t kNewFileMode = 0666;       // less the umask, like any new file
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// A stream over the temporary file's descriptor that remembers the first
// error the system reported, so that a writer ignoring a short write cannot
// turn it into a success and the reason ("No space left on device") is kept.
class TTempFileStream : public TStream {
 public:
  explicit TTempFileStream(int fd) : fd_(fd) {}

  int64_t Read(void* buffer, int64_t count) override {
    int64_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (done < count) {
      ssize_t n = ::read(fd_, p + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Remember(errno);
      if (n <= 0) break;
      done += n;
    }
    return done;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t done = 0;
    auto* p = static_cast<const uint8_t*>(buffer);
    while (done < count) {
      ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Remember(n < 0 ? errno : EIO);
        break;
      }
      done += n;
    }
    return done;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (r < 0) r = ::lseek(fd_, 0, SEEK_CUR);
    return static_cast<int64_t>(r);
  }
  void SetSize(int64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      Remember(errno);
      throw EStreamError("Stream size error");
    }
    if (GetPosition() > size) Seek(size, soBeginning);
  }
  int Error() const { return error_; }
  void Remember(int errnum) {
    if (error_ == 0) error_ = errnum;
  }

 private:
  int fd_;
  int error_ = 0;
};

void SetError(TPVError* error, TPVErrorCode code, std::string message) {
  if (error) *error = TPVError{code, std::move(message)};
}

void SetErrno(TPVError* error, int errnum, const std::string& name) {
  SetError(error, PVErrorCodeOfErrno(errnum, TPVErrorCode::WriteError),
           PVErrnoMessage(errnum, name));
}

// Follows symbolic links from `name` to the file a write must replace.  A
// dangling link gives the path it points at (a new file is created there).
// Answers false with errno set when the chain cannot be followed.
bool ResolveLinks(const std::string& name, std::string& target) {
  fs::path current = name;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      target = current.string();
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {
      target = current.string();
      return true;
    }
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) return false;
    fs::path next(std::string(buffer, static_cast<size_t>(n)));
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  errno = ELOOP;
  return false;
}

// Letters and digits from the system's random source.
std::string RandomName() {
  static constexpr char kSymbols[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  uint8_t bytes[kRandomNameChars];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    std::random_device device;
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(device());
  }
  std::string s;
  for (uint8_t b : bytes) s += kSymbols[b % (sizeof kSymbols - 1)];
  return s;
}

// Creates a fresh temporary file beside `target`; -1 with errno on failure.
int CreateTemporary(const std::string& target, std::string& temp) {
  fs::path path(target);
  fs::path folder = path.parent_path();
  std::string base = path.filename().string().substr(0, kMaxBaseInTempName);
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    fs::path candidate = folder / ("." + base + "." + RandomName() + ".tmp");
    int fd =
        ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
    if (fd >= 0) {
      temp = candidate.string();
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

// Checks that an existing target may be replaced.  Root passes access(), so
// a file without any write bit is refused explicitly as well.
bool MayReplace(const std::string& name, const std::string& target, const struct stat& st,
                TPVError* error) {
  if (S_ISDIR(st.st_mode)) {
    SetError(error, TPVErrorCode::NotAFile, name + " is a folder");
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    SetError(error, TPVErrorCode::NotAFile, name + " is not a regular file");
    return false;
  }
  if (::access(target.c_str(), W_OK) != 0) {
    SetErrno(error, errno, name);
    return false;
  }
  if ((st.st_mode & kWriteBits) == 0) {
    SetErrno(error, EACCES, name);
    return false;
  }
  return true;
}

// Gives the temporary file the original's owner (when allowed) and mode.
bool CopyOwnerAndMode(int fd, const struct stat& original) {
  struct stat mine;
  if (::fstat(fd, &mine) == 0 &&
      (mine.st_uid != original.st_uid || mine.st_gid != original.st_gid)) {
    // Only possible with the privilege to do it; otherwise the file becomes ours.
    [[maybe_unused]] int ignored = ::fchown(fd, original.st_uid, original.st_gid);
  }
  return ::fchmod(fd, original.st_mode & 07777) == 0;
}

// Makes the rename itself durable; a failure here changes nothing for the caller.
void SyncFolder(const std::string& target) {
  fs::path folder = fs::path(target).parent_path();
  if (folder.empty()) folder = ".";
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Runs the writer on the temporary file; false (with the reason in `error`
// when it is known) on any failure.
bool WriteTemporary(int fd, const std::string& name, const std::function<bool(TStream&)>& write,
                    TPVError* error) {
  TTempFileStream stream(fd);
  bool ok = false;
  try {
    ok = write(stream);
  } catch (const std::exception& e) {
    if (stream.Error() == 0) SetError(error, TPVErrorCode::WriteError, e.what());
  } catch (...) {
    if (stream.Error() == 0) SetError(error, TPVErrorCode::Internal, "unknown exception");
  }
  if (stream.Error() != 0) {
    SetErrno(error, stream.Error(), name);
    return false;
  }
  return ok;
}

}  // namespace

TPVErrorCode PVErrorCodeOfErrno(int errnum, TPVErrorCode fallback) {
  switch (errnum) {
    case ENOSPC:
    case EDQUOT:
      return TPVErrorCode::NoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
      return TPVErrorCode::PermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return TPVErrorCode::FileNotFound;
    case EISDIR:
      return TPVErrorCode::NotAFile;
    case ENOMEM:
      return TPVErrorCode::OutOfMemory;
    default:
      return fallback;
  }
}

std::string PVErrnoMessage(int errnum, const std::string& name) {
  return std::string(std::strerror(errnum)) + ": " + name;
}

bool PVCanReplaceFile(const std::string& name, TPVError* error) {
  if (error) *error = TPVError{};
  if (name.empty()) {
    SetError(error, TPVErrorCode::FileNotFound, "no file name given");
    return false;
  }
  std::string target;
  if (!ResolveLinks(name, target)) {
    SetErrno(error, errno, name);
    return false;
  }
  struct stat original;
  if (::stat(target.c_str(), &original) == 0 && !MayReplace(name, target, original, error))
    return false;
  fs::path folder = fs::path(target).parent_path();
  if (folder.empty()) folder = ".";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    SetErrno(error, errno, name);
    return false;
  }
  return true;
}

bool PVReplaceFileWith(const std::string& name, const std::function<bool(TStream&)>& write,
                       TPVError* error) {
  if (error) *error = TPVError{};
  if (name.empty()) {
    SetError(error, TPVErrorCode::FileNotFound, "no file name given");
    return false;
  }
  std::string target;
  if (!ResolveLinks(name, target)) {
    SetErrno(error, errno, name);
    return false;
  }
  struct stat original;
  bool exists = ::stat(target.c_str(), &original) == 0;
  if (exists && !MayReplace(name, target, original, error)) return false;

  std::string temp;
  int fd = CreateTemporary(target, temp);
  if (fd < 0) {
    SetErrno(error, errno, name);
    return false;
  }
  bool ok = WriteTemporary(fd, name, write, error);
  if (ok && exists && !CopyOwnerAndMode(fd, original)) {
    SetErrno(error, errno, name);
    ok = false;
  }
  if (ok && ::fsync(fd) != 0) {
    SetErrno(error, errno, name);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    SetErrno(error, errno, name);
    ok = false;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    SetErrno(error, errno, name);
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(target);
  return true;
}

void PVReplaceFileOrRaise(const std::string& name, const std::function<void(TStream&)>& write) {
  TPVError error;
  const bool replaced = PVReplaceFileWith(
      name,
      [&](TStream& out) {
        write(out);
        return true;
      },
      &error);
  if (!replaced)
    throw EFCreateError(error.Message.empty() ? "Cannot create file " + name : error.Message);
}

bool PVReplaceFile(const std::string& name, const uint8_t* data, int64_t size, TPVError* error) {
  return PVReplaceFileWith(
      name, [&](TStream& f) { return size == 0 || f.Write(data, size) == size; }, error);
}

}  // namespace pictavo
