// `pictavo hide IN OUT --text T|--file F` stores a text or a file in the
// least significant bits of an image; `pictavo reveal IN [--out F]` reads
// it back.  The data survives only lossless formats, so JPEG output is
// refused.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "apps/pictavo/load_image.h"
#include "apps/pictavo/registry.h"
#include "io/pictavoio.h"
#include "io/registry.h"
#include "platform/stream.h"
#include "processing/pictavoproc.h"

namespace pictavo::cli {
namespace {

bool LoadImage(const std::string& path, TBitmap& bitmap) {
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  const auto failure = LoadImageFile(io, path);
  if (failure) std::fprintf(stderr, "cannot read %s: %s\n", path.c_str(), failure->c_str());
  return !failure;
}

bool LossyExtension(const std::string& path) {
  const std::string ext = PVLowerExtension(path);
  return ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jif" || ext == "jfif";
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

int RunHide(const std::vector<std::string>& args) {
  if (args.size() != 4 || (args[2] != "--text" && args[2] != "--file")) {
    std::fprintf(stderr, "usage: pictavo hide IN OUT --text TEXT | --file FILE\n");
    return 2;
  }
  const std::string& out = args[1];
  if (LossyExtension(out)) {
    std::fprintf(stderr,
                 "pictavo hide: %s is a lossy format; hidden data needs PNG, BMP, TIFF...\n",
                 out.c_str());
    return 2;
  }
  std::string data = args[3];
  if (args[2] == "--file" && !ReadFileBytes(args[3], data)) {
    std::fprintf(stderr, "pictavo hide: cannot read %s\n", args[3].c_str());
    return 1;
  }
  TBitmap bitmap;
  if (!LoadImage(args[0], bitmap)) return 1;
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bitmap);
  proc.SetAutoUndo(false);
  if (bitmap.GetPixelFormat() != pf24bit) proc.ConvertTo24Bit();
  const int space = proc.GetHiddenDataSpace();
  if (int64_t(data.size()) > space) {
    std::fprintf(stderr, "pictavo hide: %zu bytes do not fit; %s can carry %d\n", data.size(),
                 args[0].c_str(), space > 0 ? space : 0);
    return 1;
  }
  proc.WriteHiddenData(data.data(), int(data.size()));
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  try {
    io.SaveToFile(out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot write %s: %s\n", out.c_str(), e.what());
    return 1;
  }
  if (io.Aborting) {
    std::fprintf(stderr, "cannot write %s: no writer for this extension or the writer failed\n",
                 out.c_str());
    return 1;
  }
  std::printf("hid %zu bytes in %s (room for %d)\n", data.size(), out.c_str(), space);
  return 0;
}

int RunReveal(const std::vector<std::string>& args) {
  const bool toFile = args.size() == 3 && args[1] == "--out";
  if (args.size() != 1 && !toFile) {
    std::fprintf(stderr, "usage: pictavo reveal IN [--out FILE]\n");
    return 2;
  }
  TBitmap bitmap;
  if (!LoadImage(args[0], bitmap)) return 1;
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bitmap);
  const int length = proc.ReadHiddenData(nullptr, 0);
  // An image without hidden data holds an arbitrary length.
  if (bitmap.GetPixelFormat() != pf24bit || length < 0 || length > proc.GetHiddenDataSpace()) {
    std::fprintf(stderr, "pictavo reveal: %s holds no hidden data\n", args[0].c_str());
    return 1;
  }
  std::string data(size_t(length), '\0');
  proc.ReadHiddenData(data.data(), length);
  if (toFile) {
    std::ofstream outFile(args[2], std::ios::binary);
    outFile.write(data.data(), std::streamsize(data.size()));
    if (!outFile) {
      std::fprintf(stderr, "pictavo reveal: cannot write %s\n", args[2].c_str());
      return 1;
    }
    std::printf("%d bytes written to %s\n", length, args[2].c_str());
  } else {
    std::fwrite(data.data(), 1, data.size(), stdout);
  }
  return 0;
}

}  // namespace

PICTAVO_COMMAND("hide", "hide IN OUT --text T|--file F  store data in the pixels (lossless OUT)",
                RunHide);
PICTAVO_COMMAND("reveal", "reveal IN [--out F]  print or save the data hidden in IN", RunReveal);

}  // namespace pictavo::cli
