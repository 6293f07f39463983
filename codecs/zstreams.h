// zlib services: whole-buffer deflate and inflate, and streams that deflate
// into or inflate from another TStream.  Every zlib failure and every
// unsupported stream operation raises the silent EAbort.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/object.h"
#include "platform/stream.h"

namespace pictavo {

// Scoped: the framework's colour constant clDefault shares the namespace.
enum class TCompressionLevel : uint8_t { clNone, clFastest, clDefault, clMax };

// Deflates InBytes bytes at level 9 into OutBuf (replaced); OutBytes is its size.
void CompressBuf(const void* InBuf, int64_t InBytes, std::vector<uint8_t>& OutBuf,
                 int64_t& OutBytes);
// Inflates into OutBuf (replaced), starting from OutEstimate bytes (0: the input
// size rounded up to 256).  Output beyond PVMaxInflateBytes raises EAbort.
void DecompressBuf(const void* InBuf, int64_t InBytes, int64_t OutEstimate,
                   std::vector<uint8_t>& OutBuf, int64_t& OutBytes);
// Largest output DecompressBuf produces (default 1 GiB).
extern int64_t PVMaxInflateBytes;

class TCustomZlibStream : public TStream {
 public:
  explicit TCustomZlibStream(TStream& strm);
  ~TCustomZlibStream() override = default;
  TCustomZlibStream(const TCustomZlibStream&) = delete;
  TCustomZlibStream& operator=(const TCustomZlibStream&) = delete;

  std::function<void(TObject* Sender)> OnProgress;

 protected:
  void Progress() {
    if (OnProgress) OnProgress(this);
  }
  TStream& strm_;
  int64_t strmPos_;
  z_stream z_{};
  std::vector<uint8_t> buffer_;  // 64 KiB
};

class TCompressionStream : public TCustomZlibStream {
 public:
  TCompressionStream(TCompressionLevel CompressionLevel, TStream& Dest);
  // Finishes the deflate stream and writes what remains.
  ~TCompressionStream() override;

  int64_t Read(void* buffer, int64_t count) override;  // raises EAbort
  int64_t Write(const void* buffer, int64_t count) override;
  // Only Seek(0, soCurrent), which returns the input bytes so far.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // (1 - compressed / input) * 100; 0 before any input.
  double GetCompressionRate() const;

 private:
  void WriteOut(size_t count);
};

class TDecompressionStream : public TCustomZlibStream {
 public:
  explicit TDecompressionStream(TStream& Source);
  ~TDecompressionStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;  // raises EAbort
  // Seek(0, soBeginning) restarts; forward seeks read and discard; others fail.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  bool ended_ = false;
};

}  // namespace pictavo
