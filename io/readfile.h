// TPVReadFileStream: a read-only file stream for loads that remembers the
// first error the system reported while reading, so that a load can say
// "Input/output error: NAME" instead of treating the file as truncated.
// Opening failures raise EFOpenError like TFileStream.
#pragma once

#include <cstdint>
#include <string>

#include "platform/stream.h"

namespace pictavo {

class TPVReadFileStream : public TStream {
 public:
  // Raises EFOpenError when the file cannot be opened or is a folder.
  explicit TPVReadFileStream(const std::string& name);
  ~TPVReadFileStream() override;
  TPVReadFileStream(const TPVReadFileStream&) = delete;
  TPVReadFileStream& operator=(const TPVReadFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  const std::string& FileName() const { return name_; }
  // The first errno of a failed read (0: none).
  int Error() const { return error_; }

 private:
  std::string name_;
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace pictavo
