// GIF subcommands: inserting and deleting frames of multi-frame files, and
// the frame list of `pictavo info`.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "apps/pictavo/info_details.h"
#include "apps/pictavo/registry.h"
#include "codecs/gif.h"
#include "formats/codec_table.h"
#include "formats/registry.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

// Loads an image through the built-in codec of its extension.
bool LoadImage(const std::string& name, TBitmap& bitmap, std::string& error) {
  std::string ext;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) ext = name.substr(dot + 1);
  const TPVFileFormatInfo* info = PVFileFormatGetInfo2(ext);
  const TBuiltinCodec* codec = info ? PVBuiltinCodec(info->FileType) : nullptr;
  if (!codec || !codec->Read) {
    error = "no reader for \"" + name + "\"";
    return false;
  }
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TIOParamsVals params;
  params.SetDefaultParams();
  try {
    TFileStream f(name, fmOpenRead | fmShareDenyNone);
    codec->Read(f, &bitmap, params, progress, false, f.GetSize());
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  if (aborting || bitmap.Empty()) {
    error = "cannot read \"" + name + "\"";
    return false;
  }
  if (bitmap.GetPixelFormat() != pf1bit && bitmap.GetPixelFormat() != pf24bit)
    bitmap.SetPixelFormat(pf24bit);
  return true;
}

bool ParseInt(const std::string& s, int& v) {
  if (s.empty()) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(s[k]))) return false;
  v = std::stoi(s);
  return true;
}

int GifInsert(const std::vector<std::string>& args) {
  std::vector<std::string> pos;
  int index = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--index" && i + 1 < args.size()) {
      if (!ParseInt(args[++i], index) || index < 0) {
        std::fprintf(stderr, "gif-insert: bad index \"%s\"\n", args[i].c_str());
        return 2;
      }
    } else {
      pos.push_back(args[i]);
    }
  }
  if (pos.size() != 2) {
    std::fprintf(stderr, "usage: pictavo gif-insert FILE IMAGE [--index N]\n");
    return 2;
  }
  TBitmap bitmap;
  std::string error;
  if (!LoadImage(pos[1], bitmap, error)) {
    std::fprintf(stderr, "gif-insert: %s\n", error.c_str());
    return 1;
  }
  TIOParamsVals params;
  params.SetDefaultParams();
  int frames = _DeleteGifIm(pos[0], -1, false);
  params.GIF_ImageIndex = index < 0 ? frames : index;
  params.BitsPerSample = 8;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  int n = 0;
  try {
    n = _InsertGifIm(pos[0], bitmap, params, progress);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gif-insert: %s\n", e.what());
    return 1;
  }
  if (aborting || n == 0) {
    std::fprintf(stderr, "gif-insert: cannot insert into \"%s\" at %d\n", pos[0].c_str(),
                 params.GIF_ImageIndex);
    return 1;
  }
  // As the I/O component does: the logical screen covers the new frame and
  // the file becomes a looping animation.
  {
    TIOParamsVals screen;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    int count = 0;
    TFileStream f(pos[0], fmOpenRead | fmShareDenyNone);
    ReadGifStream(f, nullptr, count, true, pr, screen);
    int w = std::max(screen.GIF_WinWidth, params.GIF_XPos + bitmap.GetWidth());
    int h = std::max(screen.GIF_WinHeight, params.GIF_YPos + bitmap.GetHeight());
    _GifMakeAnimate(pos[0], 0, w, h);
  }
  std::printf("%s: %d frames\n", pos[0].c_str(), n);
  return 0;
}

int GifDelete(const std::vector<std::string>& args) {
  int index = 0;
  if (args.size() != 2 || !ParseInt(args[1], index) || index < 0) {
    std::fprintf(stderr, "usage: pictavo gif-delete FILE N\n");
    return 2;
  }
  int before = _DeleteGifIm(args[0], -1, false);
  if (before == 0) {
    std::fprintf(stderr, "gif-delete: \"%s\" is not a readable GIF file\n", args[0].c_str());
    return 1;
  }
  if (index >= before) {
    std::fprintf(stderr, "gif-delete: \"%s\" has %d frames\n", args[0].c_str(), before);
    return 1;
  }
  int kept = _DeleteGifIm(args[0], index, true);
  if (_DeleteGifIm(args[0], -1, false) != kept) {
    std::fprintf(stderr, "gif-delete: \"%s\" was not rewritten\n", args[0].c_str());
    return 1;
  }
  std::printf("%s: %d frames\n", args[0].c_str(), kept);
  return 0;
}

void GifInfo(const std::string& fileName, TIOParamsVals& /*params*/, InfoFields& fields) {
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  try {
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    // One pass lists every frame.
    std::vector<InfoValue> frames;
    const int count = GIFListFrames(f, progress, [&](int, const TIOParamsVals& p) {
      std::vector<std::pair<std::string, InfoValue>> frame = {
          {"width", InfoValue::Int(p.Width)},
          {"height", InfoValue::Int(p.Height)},
          {"x", InfoValue::Int(p.GIF_XPos)},
          {"y", InfoValue::Int(p.GIF_YPos)},
          {"delay", InfoValue::Int(p.GIF_DelayTime)},
          {"transparent", InfoValue::Bool(p.GIF_Transparent)}};
      if (p.GIF_Transparent) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X", p.GIF_TranspColor.r, p.GIF_TranspColor.g,
                      p.GIF_TranspColor.b);
        frame.push_back({"transparent colour", InfoValue::Str(buf)});
      }
      frames.push_back(InfoValue::Object(frame));
    });
    fields.push_back({"frame count", InfoValue::Int(count)});
    fields.push_back({"animated", InfoValue::Bool(_CheckGifAnimate(fileName))});
    fields.push_back({"frames", InfoValue::List(std::move(frames))});
  } catch (const std::exception&) {
  }
}

}  // namespace

PICTAVO_COMMAND("gif-insert", "gif-insert FILE IMAGE [--index N]  insert IMAGE as a frame of FILE",
                GifInsert);
PICTAVO_COMMAND("gif-delete", "gif-delete FILE N  remove frame N of the GIF file FILE", GifDelete);
PICTAVO_INFO_DETAILS(ftGIF, GifInfo);

}  // namespace pictavo::cli
