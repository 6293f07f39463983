// Demo: an animated GIF built frame by frame and read back, and one image
// written with each of the two GIF encoders.
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "apps/pictavo/registry.h"
#include "codecs/gif.h"
#include "core/pvutils.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

// A frame of a moving disc over a striped background, in few colours.
std::unique_ptr<TBitmap> DiscFrame(int w, int h, int step) {
  auto b = std::make_unique<TBitmap>(w, h, pf24bit);
  const double cx = w * (0.2 + 0.15 * step), cy = h / 2.0, r = h / 4.0;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      bool inDisc = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
      uint8_t* p = row + x * 3;
      if (inDisc) {
        p[0] = 30;
        p[1] = uint8_t(60 + 40 * step);
        p[2] = 230;
      } else {
        uint8_t v = ((x / 8 + y / 8) & 1) ? 235 : 200;
        p[0] = v;
        p[1] = v;
        p[2] = uint8_t(v - 20);
      }
    }
  }
  return b;
}

void Demo(DemoContext& demo) {
  const std::string anim = demo.Path("gif_animated.gif");
  const int frames = 5, w = 160, h = 90;
  demo.Run("GIF", "animated GIF built frame by frame", [&] {
    for (int i = 0; i < frames; ++i) {
      auto frame = DiscFrame(w, h, i);
      bool aborting = false;
      TProgressRec progress;
      progress.Aborting = &aborting;
      TIOParamsVals params;
      params.SetDefaultParams();
      params.GIF_LZWCompFunc = GIFLZWCompress;
      params.GIF_DelayTime = 20;
      params.GIF_ImageIndex = i;
      if (i == 0) {
        WriteGif(anim, *frame, params, progress);
      } else {
        _InsertGifIm(anim, *frame, params, progress);
        if (!aborting) _GifMakeAnimate(anim, 0, w, h);
      }
      if (aborting) throw std::runtime_error("frame " + std::to_string(i) + " not written");
    }
    if (!_CheckGifAnimate(anim)) throw std::runtime_error("no looping extension");
    return std::to_string(frames) + " frames, " + std::to_string(_getfilesize(anim)) + " bytes";
  });
  demo.Run("GIF", "animated GIF read back frame by frame", [&] {
    int count = 0, mismatched = 0;
    for (int i = 0;; ++i) {
      bool aborting = false;
      TProgressRec progress;
      progress.Aborting = &aborting;
      TIOParamsVals params;
      params.GIF_LZWDecompFunc = GIFLZWDecompress;
      params.GIF_ImageIndex = i;
      TBitmap bmp;
      ReadGif(anim, &bmp, count, false, progress, params);
      if (aborting) throw std::runtime_error("frame " + std::to_string(i) + " unreadable");
      auto expect = DiscFrame(w, h, i);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 3; ++x)
          if (bmp.ScanLine(y)[x] != expect->ScanLine(y)[x]) ++mismatched;
      if (i + 1 >= count) break;
    }
    if (count != frames || mismatched) throw std::runtime_error("frames differ");
    return std::to_string(count) + " frames identical to the originals";
  });
  for (int e = 0; e < 2; ++e) {
    const bool lzw = e == 0;
    const std::string name = demo.Path(lzw ? "gif_lzw.gif" : "gif_runlength.gif");
    demo.Run("GIF", lzw ? "write with the LZW encoder" : "write with the run-length encoder", [&] {
      auto img = DiscFrame(640, 360, 2);
      bool aborting = false;
      TProgressRec progress;
      progress.Aborting = &aborting;
      TIOParamsVals params;
      params.SetDefaultParams();
      params.GIF_LZWCompFunc = lzw ? GIFLZWCompress : GIFNONLZWCompress;
      WriteGif(name, *img, params, progress);
      if (aborting) throw std::runtime_error("write failed");
      return "640x360, " + std::to_string(_getfilesize(name)) + " bytes";
    });
  }
}

}  // namespace

PICTAVO_DEMO(50, "GIF", Demo);

}  // namespace pictavo::cli
