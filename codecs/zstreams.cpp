// zlib buffer functions and compression streams.
#include "codecs/zstreams.h"

#include <algorithm>
#include <cstring>

#include "platform/exceptions.h"

namespace pictavo {

namespace {

constexpr size_t kZBufferSize = 65536;

[[noreturn]] void ZAbort() {
  throw EAbort("zlib");
}

int Check(int code) {
  if (code < 0) ZAbort();
  return code;
}

// inflate's result must be progress (Z_OK) or the end; anything else
// (Z_NEED_DICT: a preset dictionary nobody supplies) can never advance.
int CheckInflate(int code) {
  if (code != Z_OK && code != Z_STREAM_END) ZAbort();
  return code;
}

// zlib counts in uInt; large buffers are fed in slices of this size.
constexpr int64_t kSlice = 1 << 30;

}  // namespace

int64_t PVMaxInflateBytes = int64_t(1) << 30;

void CompressBuf(const void* InBuf, int64_t InBytes, std::vector<uint8_t>& OutBuf,
                 int64_t& OutBytes) {
  OutBuf.clear();
  OutBytes = 0;
  if (InBytes < 0) ZAbort();
  z_stream z{};
  int64_t size = std::max<int64_t>((InBytes + InBytes / 10 + 267) & ~int64_t(255), 256);
  try {
    OutBuf.resize(static_cast<size_t>(size));
    Check(deflateInit(&z, 9));
  } catch (...) {
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw;
  }
  const uint8_t* in = static_cast<const uint8_t*>(InBuf);
  int64_t inLeft = InBytes;
  int code = Z_OK;
  try {
    while (true) {
      if (z.avail_in == 0 && inLeft > 0) {
        const int64_t slice = std::min(inLeft, kSlice);
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(slice);
        in += slice;
        inLeft -= slice;
      }
      if (z.avail_out == 0) {
        if (int64_t(z.total_out) >= size) {
          size += 256;
          OutBuf.resize(static_cast<size_t>(size));
        }
        z.next_out = OutBuf.data() + z.total_out;
        z.avail_out = static_cast<uInt>(std::min<int64_t>(size - int64_t(z.total_out), kSlice));
      }
      code = Check(deflate(&z, inLeft > 0 ? Z_NO_FLUSH : Z_FINISH));
      if (code == Z_STREAM_END) break;
    }
  } catch (...) {
    deflateEnd(&z);
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw;
  }
  OutBytes = static_cast<int64_t>(z.total_out);
  deflateEnd(&z);
  OutBuf.resize(static_cast<size_t>(OutBytes));
  OutBuf.shrink_to_fit();
}

void DecompressBuf(const void* InBuf, int64_t InBytes, int64_t OutEstimate,
                   std::vector<uint8_t>& OutBuf, int64_t& OutBytes) {
  OutBuf.clear();
  OutBytes = 0;
  if (InBytes < 0) ZAbort();
  const int64_t delta = std::max<int64_t>((InBytes + 255) & ~int64_t(255), 256);
  int64_t size = OutEstimate > 0 ? OutEstimate : delta;
  if (size > PVMaxInflateBytes) size = PVMaxInflateBytes;
  z_stream z{};
  try {
    OutBuf.resize(static_cast<size_t>(size));
    Check(inflateInit(&z));
  } catch (...) {
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw;
  }
  const uint8_t* in = static_cast<const uint8_t*>(InBuf);
  int64_t inLeft = InBytes;
  try {
    while (true) {
      if (z.avail_in == 0 && inLeft > 0) {
        const int64_t slice = std::min(inLeft, kSlice);
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(slice);
        in += slice;
        inLeft -= slice;
      }
      if (z.avail_out == 0) {
        if (int64_t(z.total_out) >= size) {
          if (size >= PVMaxInflateBytes) ZAbort();
          size = std::min(size + delta, PVMaxInflateBytes);
          OutBuf.resize(static_cast<size_t>(size));
        }
        z.next_out = OutBuf.data() + z.total_out;
        z.avail_out = static_cast<uInt>(std::min<int64_t>(size - int64_t(z.total_out), kSlice));
      }
      const int code = CheckInflate(inflate(&z, Z_NO_FLUSH));
      if (code == Z_STREAM_END) break;
      // Truncated input: no more bytes and no progress possible.
      if (z.avail_in == 0 && inLeft == 0 && z.avail_out != 0) ZAbort();
    }
  } catch (...) {
    inflateEnd(&z);
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw;
  }
  OutBytes = static_cast<int64_t>(z.total_out);
  inflateEnd(&z);
  OutBuf.resize(static_cast<size_t>(OutBytes));
  OutBuf.shrink_to_fit();
}

TCustomZlibStream::TCustomZlibStream(TStream& strm)
    : strm_(strm), strmPos_(strm.GetPosition()), buffer_(kZBufferSize) {}

TCompressionStream::TCompressionStream(TCompressionLevel CompressionLevel, TStream& Dest)
    : TCustomZlibStream(Dest) {
  static const int levels[] = {Z_NO_COMPRESSION, Z_BEST_SPEED, Z_DEFAULT_COMPRESSION,
                               Z_BEST_COMPRESSION};
  Check(deflateInit(&z_, levels[std::min<int>(static_cast<int>(CompressionLevel), 3)]));
  z_.next_out = buffer_.data();
  z_.avail_out = kZBufferSize;
}

void TCompressionStream::WriteOut(size_t count) {
  strm_.WriteBuffer(buffer_.data(), static_cast<int64_t>(count));
  strmPos_ = strm_.GetPosition();
  z_.next_out = buffer_.data();
  z_.avail_out = kZBufferSize;
}

TCompressionStream::~TCompressionStream() {
  try {
    if (strm_.GetPosition() != strmPos_) strm_.Seek(strmPos_, soBeginning);
    z_.next_in = nullptr;
    z_.avail_in = 0;
    while (Check(deflate(&z_, Z_FINISH)) != Z_STREAM_END) {
      if (z_.avail_out == 0) WriteOut(kZBufferSize);
    }
    if (z_.avail_out < kZBufferSize) WriteOut(kZBufferSize - z_.avail_out);
  } catch (...) {
    // A destructor reports nothing; the data written so far stays.
  }
  deflateEnd(&z_);
}

int64_t TCompressionStream::Read(void*, int64_t) {
  ZAbort();
}

int64_t TCompressionStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (strm_.GetPosition() != strmPos_) strm_.Seek(strmPos_, soBeginning);
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  int64_t left = count;
  while (left > 0) {
    const int64_t slice = std::min(left, kSlice);
    z_.next_in = const_cast<Bytef*>(in);
    z_.avail_in = static_cast<uInt>(slice);
    while (z_.avail_in > 0) {
      Check(deflate(&z_, Z_NO_FLUSH));
      if (z_.avail_out == 0) {
        WriteOut(kZBufferSize);
        Progress();
      }
    }
    in += slice;
    left -= slice;
  }
  return count;
}

int64_t TCompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin == soCurrent) return static_cast<int64_t>(z_.total_in);
  ZAbort();
}

double TCompressionStream::GetCompressionRate() const {
  if (z_.total_in == 0) return 0;
  return (1.0 - double(z_.total_out) / double(z_.total_in)) * 100.0;
}

TDecompressionStream::TDecompressionStream(TStream& Source) : TCustomZlibStream(Source) {
  Check(inflateInit(&z_));
  z_.next_in = buffer_.data();
  z_.avail_in = 0;
}

TDecompressionStream::~TDecompressionStream() {
  inflateEnd(&z_);
}

int64_t TDecompressionStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || ended_) return 0;
  const int64_t want = std::min(count, kSlice);
  z_.next_out = static_cast<Bytef*>(buffer);
  z_.avail_out = static_cast<uInt>(want);
  if (strm_.GetPosition() != strmPos_) strm_.Seek(strmPos_, soBeginning);
  while (z_.avail_out > 0) {
    if (z_.avail_in == 0) {
      const int64_t got = strm_.Read(buffer_.data(), kZBufferSize);
      if (got <= 0) break;  // the source is exhausted: return what we have
      z_.next_in = buffer_.data();
      z_.avail_in = static_cast<uInt>(got);
      strmPos_ = strm_.GetPosition();
      Progress();
    }
    const int code = CheckInflate(inflate(&z_, Z_NO_FLUSH));
    if (code == Z_STREAM_END) {
      ended_ = true;
      break;
    }
  }
  return want - z_.avail_out;
}

int64_t TDecompressionStream::Write(const void*, int64_t) {
  ZAbort();
}

int64_t TDecompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t current = static_cast<int64_t>(z_.total_out);
  if (offset == 0 && origin == soBeginning) {
    Check(inflateReset(&z_));
    z_.next_in = buffer_.data();
    z_.avail_in = 0;
    ended_ = false;
    strm_.Seek(0, soBeginning);
    strmPos_ = 0;
    return 0;
  }
  int64_t skip = -1;
  if (origin == soCurrent && offset >= 0) skip = offset;
  if (origin == soBeginning && offset >= current) skip = offset - current;
  if (skip < 0) ZAbort();
  uint8_t scratch[4096];
  while (skip > 0) {
    const int64_t step = std::min<int64_t>(skip, sizeof scratch);
    const int64_t got = Read(scratch, step);
    if (got <= 0) break;
    skip -= got;
  }
  return static_cast<int64_t>(z_.total_out);
}

}  // namespace pictavo
