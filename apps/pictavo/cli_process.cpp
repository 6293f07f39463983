// `pictavo process IN OUT OP...`: loads IN, applies the operations in order
// through TPictavoProc and saves OUT by its extension.  Operations register
// themselves (process_ops.h); this file holds the command, the argument
// parsing and the operations of the colour and geometry units.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/load_image.h"
#include "apps/pictavo/process_ops.h"
#include "apps/pictavo/registry.h"
#include "io/pictavoio.h"
#include "io/registry.h"
#include "platform/stream.h"
#include "processing/pictavoproc.h"

namespace pictavo::cli {

std::vector<ProcessOp>& ProcessOps() {
  static std::vector<ProcessOp> ops;
  return ops;
}

const ProcessOp* FindProcessOp(const std::string& name) {
  for (const ProcessOp& op : ProcessOps())
    if (op.name == name) return &op;
  return nullptr;
}

// --- Arguments -------------------------------------------------------------------

void ProcessArgs::Fail(const std::string& message) const {
  throw ProcessArgError(op_ + ": " + message);
}

const std::string& ProcessArgs::Text(size_t i) const {
  if (i >= values_.size()) Fail("argument " + std::to_string(i + 1) + " is missing");
  return values_[i];
}

void ProcessArgs::ExpectCount(size_t min, size_t max) const {
  if (values_.size() >= min && values_.size() <= max) return;
  if (min == max && min == 0) Fail("takes no arguments");
  std::string want =
      min == max ? std::to_string(min) : std::to_string(min) + " to " + std::to_string(max);
  Fail("expects " + want + " argument" + (max == 1 ? "" : "s") + ", got " +
       std::to_string(values_.size()));
}

int ProcessArgs::Int(size_t i, int lo, int hi) const {
  const std::string& s = Text(i);
  int v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty())
    Fail("argument " + std::to_string(i + 1) + " \"" + s + "\" is not a whole number");
  if (v < lo || v > hi)
    Fail("argument " + std::to_string(i + 1) + " must be within " + std::to_string(lo) + ".." +
         std::to_string(hi));
  return v;
}

double ProcessArgs::Double(size_t i, double lo, double hi) const {
  const std::string& s = Text(i);
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty())
    Fail("argument " + std::to_string(i + 1) + " \"" + s + "\" is not a number");
  if (!(v >= lo && v <= hi)) Fail("argument " + std::to_string(i + 1) + " is out of range");
  return v;
}

TRGB ProcessArgs::Colour(size_t i) const {
  const std::string& s = Text(i);
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t p = 0; p <= s.size(); ++p)
    if (p == s.size() || s[p] == ':') {
      parts.push_back(s.substr(start, p - start));
      start = p + 1;
    }
  if (parts.size() != 1 && parts.size() != 3)
    Fail("argument " + std::to_string(i + 1) + " \"" + s + "\" is not a colour R:G:B");
  int v[3];
  for (size_t k = 0; k < 3; ++k) {
    const std::string& t = parts[parts.size() == 1 ? 0 : k];
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v[k]);
    if (ec != std::errc() || end != t.data() + t.size() || t.empty() || v[k] < 0 || v[k] > 255)
      Fail("argument " + std::to_string(i + 1) + " \"" + s + "\" is not a colour R:G:B (0..255)");
  }
  TRGB c;
  c.r = uint8_t(v[0]);
  c.g = uint8_t(v[1]);
  c.b = uint8_t(v[2]);
  return c;
}

int ProcessArgs::Choice(size_t i, const std::vector<std::string>& words) const {
  const std::string& s = Text(i);
  for (size_t k = 0; k < words.size(); ++k)
    if (words[k] == s) return int(k);
  std::string list;
  for (const std::string& w : words) list += (list.empty() ? "" : "|") + w;
  Fail("argument " + std::to_string(i + 1) + " \"" + s + "\" must be one of " + list);
}

namespace {

// --- The command ----------------------------------------------------------------

struct OpCall {
  const ProcessOp* op;
  ProcessArgs args;
};

bool ParseOps(const std::vector<std::string>& words, std::vector<OpCall>& calls) {
  for (const std::string& word : words) {
    size_t eq = word.find('=');
    std::string name = word.substr(0, eq);
    std::vector<std::string> values;
    if (eq != std::string::npos) {
      std::string rest = word.substr(eq + 1);
      size_t start = 0;
      for (size_t p = 0; p <= rest.size(); ++p)
        if (p == rest.size() || rest[p] == ',') {
          values.push_back(rest.substr(start, p - start));
          start = p + 1;
        }
    }
    const ProcessOp* op = FindProcessOp(name);
    if (!op) {
      std::fprintf(stderr,
                   "pictavo process: unknown operation \"%s\" (see pictavo process --list)\n",
                   name.c_str());
      return false;
    }
    calls.push_back({op, ProcessArgs(name, values)});
  }
  return true;
}

void ListOps() {
  auto ops = ProcessOps();
  std::sort(ops.begin(), ops.end(),
            [](const ProcessOp& a, const ProcessOp& b) { return a.name < b.name; });
  std::printf("operations of pictavo process (applied in the order given):\n");
  for (const ProcessOp& op : ops) {
    std::string head = op.name + (op.arguments.empty() ? "" : "=" + op.arguments);
    std::printf("  %-34s %s\n", head.c_str(), op.description.c_str());
  }
  std::printf("colours are R:G:B (0..255) or one number for all three channels\n");
}

// A progress bar on standard error when it is a terminal.  Workers may
// report a little above 100 on their last rows; the bar shows 100.
class OpProgress {
 public:
  OpProgress() : on_(isatty(2) == 1) {}
  void Attach(TPictavoProc& proc, const std::string& label) {
    label_ = label;
    last_ = -1;
    proc.OnProgress = on_ ? TPVProgressEvent([this](TObject*, int per) { Show(per); }) : nullptr;
  }
  void Show(int per) {
    per = std::clamp(per, 0, 100);
    if (per == last_) return;
    last_ = per;
    int filled = per * 30 / 100;
    std::fprintf(stderr, "\r%-16.16s [%s%s] %3d%%", label_.c_str(),
                 std::string(filled, '#').c_str(), std::string(30 - filled, ' ').c_str(), per);
    std::fflush(stderr);
    shown_ = true;
  }
  void Done() {
    if (shown_) std::fprintf(stderr, "\n");
    shown_ = false;
  }

 private:
  bool on_;
  bool shown_ = false;
  int last_ = -1;
  std::string label_;
};

bool Load(TPictavoIO& io, const std::string& in) {
  const auto failure = LoadImageFile(io, in);
  if (failure) std::fprintf(stderr, "cannot read %s: %s\n", in.c_str(), failure->c_str());
  return !failure;
}

bool Save(TPictavoIO& io, const std::string& out) {
  try {
    io.SaveToFile(out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot write %s: %s\n", out.c_str(), e.what());
    return false;
  }
  if (io.Aborting) {
    std::fprintf(stderr, "cannot write %s: no writer for this extension or the writer failed\n",
                 out.c_str());
    return false;
  }
  return true;
}

int RunProcess(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == "--list") {
    ListOps();
    return 0;
  }
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: pictavo process IN OUT OP...  (pictavo process --list)\n");
    return 2;
  }
  std::vector<OpCall> calls;
  if (!ParseOps({args.begin() + 2, args.end()}, calls)) return 2;
  TBitmap bitmap;
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  if (!Load(io, args[0])) return 1;
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bitmap);
  proc.SetAutoUndo(false);
  std::vector<std::string> output;
  OpProgress bar;
  for (OpCall& call : calls) {
    bar.Attach(proc, call.op->name);
    ProcessContext context{bitmap, proc, output};
    try {
      call.op->run(context, call.args);
    } catch (const ProcessArgError& e) {
      bar.Done();
      std::fprintf(stderr, "pictavo process: %s\n", e.what());
      return 2;
    } catch (const std::exception& e) {
      bar.Done();
      std::fprintf(stderr, "pictavo process: %s failed: %s\n", call.op->name.c_str(), e.what());
      return 1;
    }
    bar.Done();
    for (const std::string& line : output) std::printf("%s\n", line.c_str());
    output.clear();
  }
  if (bitmap.Empty()) {
    std::fprintf(stderr, "pictavo process: the result is empty; nothing written\n");
    return 1;
  }
  if (!Save(io, args[1])) return 1;
  std::printf("%s -> %s (%d x %d, %s)\n", args[0].c_str(), args[1].c_str(), bitmap.GetWidth(),
              bitmap.GetHeight(), bitmap.GetPixelFormat() == pf1bit ? "1 bit" : "24 bits");
  return 0;
}

PICTAVO_COMMAND("process",
                "process IN OUT OP[=ARG,...]...  apply operations in order (--list describes them)",
                RunProcess);

// --- Operations of the colour and geometry units ------------------------------------

const std::vector<std::string> kFilterNames = {"none",    "triangle", "hermite", "bell",
                                               "bspline", "lanczos3", "mitchell"};

PICTAVO_PROCESS_OP("negative", "", "invert every channel (24 bits) or every bit (1 bit)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(0, 0);
                     c.proc.Negative();
                   });

PICTAVO_PROCESS_OP("grey", "", "grey (R*21 + G*71 + B*7) div 100 in all three channels",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(0, 0);
                     c.proc.ConvertToGray();
                   });

PICTAVO_PROCESS_OP("intensity", "r,g,b", "add -255..255 to each channel, clamped",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(3, 3);
                     c.proc.IntensityRGBall(a.Int(0, -255, 255), a.Int(1, -255, 255),
                                            a.Int(2, -255, 255));
                   });

PICTAVO_PROCESS_OP("contrast", "n",
                   "contrast -100..100 around the channel means (-100 flattens, 0 keeps)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(1, 1);
                     c.proc.Contrast(a.Int(0, -100, 100));
                   });

PICTAVO_PROCESS_OP("hsv", "h,s,v", "shift hue (degrees), saturation and value (0..99 scale)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(3, 3);
                     c.proc.HSVvar(a.Int(0, -359, 359), a.Int(1, -99, 99), a.Int(2, -99, 99));
                   });

PICTAVO_PROCESS_OP("hsl", "h,s,l", "shift hue (degrees), saturation and lightness (percent)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(3, 3);
                     c.proc.HSLvar(a.Int(0, -360, 360), a.Int(1, -100, 100), a.Int(2, -100, 100));
                   });

PICTAVO_PROCESS_OP("threshold", "down,up,downval,upval",
                   "per channel: <= down becomes downval, then > up becomes upval (colours)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(4, 4);
                     c.proc.Threshold(a.Colour(0), a.Colour(1), a.Colour(2), a.Colour(3));
                   });

PICTAVO_PROCESS_OP("cast", "begin,end,colour",
                   "pixels inside the colour box begin..end (inclusive) become colour",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(3, 3);
                     c.proc.CastColorRange(a.Colour(0), a.Colour(1), a.Colour(2));
                   });

PICTAVO_PROCESS_OP("resample", "w,h[,filter]",
                   "filtered scaling; -1 keeps the aspect ratio; filter none|triangle|hermite|"
                   "bell|bspline|lanczos3|mitchell (default lanczos3)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(2, 3);
                     int w = a.Int(0, -1, 1 << 20), h = a.Int(1, -1, 1 << 20);
                     if (w == 0 || h == 0 || (w < 0 && h < 0))
                       a.Fail("one size must be positive and neither may be 0");
                     auto f =
                         a.Count() > 2 ? TResampleFilter(a.Choice(2, kFilterNames)) : rfLanczos3;
                     int64_t bw = c.bitmap.GetWidth(), bh = c.bitmap.GetHeight();
                     int64_t nw = w < 0 ? (bh ? h * bw / bh : 0) : w;
                     int64_t nh = h < 0 ? (bw ? w * bh / bw : 0) : h;
                     if (!PVImageSizeAllowed(nw, nh))
                       a.Fail("a result of " + std::to_string(nw) + " x " + std::to_string(nh) +
                              " is empty or beyond the pixel limit");
                     c.proc.Resample(w, h, f);
                   });

PICTAVO_PROCESS_OP("resize", "w,h", "canvas size; new area in the background colour (black)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(2, 2);
                     int w = a.Int(0, 1, 1 << 20), h = a.Int(1, 1, 1 << 20);
                     if (!PVImageSizeAllowed(w, h))
                       a.Fail("the result would exceed the pixel limit");
                     c.proc.ImageResize(w, h);
                   });

PICTAVO_PROCESS_OP("rotate", "deg[,aa]",
                   "rotate counter-clockwise by whole degrees; aa blends the edges",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(1, 2);
                     int deg = a.Int(0, -36000, 36000);
                     bool aa = a.Count() > 1 && a.Choice(1, {"noaa", "aa"}) == 1;
                     c.proc.Rotate(deg, aa);
                   });

PICTAVO_PROCESS_OP("flip", "h|v", "mirror left-right (h) or top-bottom (v)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(1, 1);
                     c.proc.Flip(a.Choice(0, {"h", "v"}) == 0 ? fdHorizontal : fdVertical);
                   });

PICTAVO_PROCESS_OP("select", "x1,y1,x2,y2|all",
                   "limit the operations that follow to a rectangle (x2, y2 exclusive)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(1, 4);
                     if (a.Count() == 1) {
                       a.Choice(0, {"all"});
                       c.proc.SelectAll();
                       return;
                     }
                     a.ExpectCount(4, 4);
                     int x1 = a.Int(0, 0, 1 << 30), y1 = a.Int(1, 0, 1 << 30);
                     int x2 = a.Int(2, 0, 1 << 30), y2 = a.Int(3, 0, 1 << 30);
                     if (x2 <= x1 || y2 <= y1) a.Fail("x2 and y2 must exceed x1 and y1");
                     c.proc.Select(x1, y1, x2, y2);
                   });

PICTAVO_PROCESS_OP(
    "poly", "x,y,x,y,x,y[,/,x,y,...]",
    "limit what follows to a polygon; / starts another sub-polygon",
    [](ProcessContext& c, const ProcessArgs& a) {
      std::vector<TPoint> points;
      for (size_t i = 0; i < a.Count();) {
        if (a.Text(i) == "/") {
          points.push_back({kPVPolygonBreak, kPVPolygonBreak});
          ++i;
          continue;
        }
        points.push_back({a.Int(i, -(1 << 27), 1 << 27), a.Int(i + 1, -(1 << 27), 1 << 27)});
        i += 2;
      }
      if (points.size() < 3) a.Fail("needs at least three points");
      c.proc.SelectPolygon(points.data(), int(points.size()));
    });

PICTAVO_PROCESS_OP("crop", "", "crop to the selection (rectangle or polygon box)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(0, 0);
                     c.proc.CropSel();
                     c.proc.SelectAll();
                   });

PICTAVO_PROCESS_OP("colors", "n", "reduce to n colours (2..256; 2 dithers to 1 bit)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(1, 1);
                     c.proc.ConvertTo(a.Int(0, 2, 256));
                   });

PICTAVO_PROCESS_OP("bw", "ordered|threshold[,t]",
                   "to 1 bit by ordered dithering, or by a grey threshold (default: the mean)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(1, 2);
                     if (a.Choice(0, {"ordered", "threshold"}) == 0) {
                       a.ExpectCount(1, 1);
                       c.proc.ConvertToBWOrdered();
                     } else {
                       c.proc.ConvertToBWThreshold(a.Count() > 1 ? a.Int(1, 0, 256) : -1);
                     }
                   });

PICTAVO_PROCESS_OP("count-colors", "", "print the number of distinct colours in the selection",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(0, 0);
                     c.output.push_back("colors: " + std::to_string(c.proc.CalcImageNumColors()));
                   });

PICTAVO_PROCESS_OP("to24", "", "expand a 1-bit image to 24 bits",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(0, 0);
                     c.proc.ConvertTo24Bit();
                   });

}  // namespace
}  // namespace pictavo::cli
