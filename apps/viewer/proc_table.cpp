#include "apps/viewer/proc_table.h"

#include <stdexcept>

#include "processing/fft.h"
#include "processing/filters.h"

namespace pictavo::viewer {
namespace {

constexpr int kMaxSide = 1 << 16;
constexpr int kMaxCoordinate = 1 << 20;
constexpr int kMaxWindow = 50;
constexpr int kMaxRadius = 1 << 15;

const std::vector<std::string> kFilterNames = {"None",     "Triangle", "Hermite", "Bell",
                                               "B-spline", "Lanczos3", "Mitchell"};
const std::vector<std::string> kPresetNames = {"None",        "Blur",        "Edge",
                                               "Emboss",      "High pass 1", "High pass 2",
                                               "High pass 3", "Low pass 1",  "Low pass 2"};

TOpParam Num(std::string label, int min, int max, int value) {
  return {std::move(label), min, max, value, TParamDefault::Constant, {}, false, false};
}
TOpParam FromImage(std::string label, int min, int max, TParamDefault from) {
  return {std::move(label), min, max, 0, from, {}, false, false};
}
TOpParam Choice(std::string label, std::vector<std::string> words, int initial) {
  return {std::move(label),
          0,
          int(words.size()) - 1,
          initial,
          TParamDefault::Constant,
          std::move(words),
          false,
          false};
}
TOpParam File(std::string label) {
  return {std::move(label), 0, 0, 0, TParamDefault::Constant, {}, true, false};
}
TOpParam Text(std::string label) {
  return {std::move(label), 0, 0, 0, TParamDefault::Constant, {}, false, true};
}

uint8_t Level(int v) {
  return uint8_t(v);
}
TRGB Grey(int v) {
  return TRGB{Level(v), Level(v), Level(v)};
}
TRGB Colour(const TOpValues& v, size_t first) {
  TRGB c;
  c.r = Level(v.numbers[first]);
  c.g = Level(v.numbers[first + 1]);
  c.b = Level(v.numbers[first + 2]);
  return c;
}

// The filters, morphology, histogram, effects and transforms work on 24-bit
// pixels: a black-and-white image is expanded first.
void Ensure24(TPictavo& p) {
  if (p.Bitmap().GetPixelFormat() == pf1bit) p.Proc().ConvertTo24Bit();
}

std::unique_ptr<TPVFtImage> Transform(TPictavo& p) {
  Ensure24(p);
  auto ft = p.Proc().FTCreateImage(pvitRGB, -1, -1);
  if (!ft) throw std::runtime_error("The image is too large for the transform.");
  return ft;
}

using Run = std::function<std::string(TPictavo&, const TOpValues&)>;

// An operation without parameters.
Run Plain(void (TPictavoProc::*op)()) {
  return [op](TPictavo& p, const TOpValues&) {
    (p.Proc().*op)();
    return std::string();
  };
}
// A morphology operation on a window radius.
Run Morph(void (TPictavoProc::*op)(int)) {
  return [op](TPictavo& p, const TOpValues& v) {
    Ensure24(p);
    (p.Proc().*op)(v.numbers[0]);
    return std::string();
  };
}

std::vector<TProcOp> ColourOps() {
  return {
      {"&Colour", "&Negative", {}, Plain(&TPictavoProc::Negative)},
      {"&Colour", "&Grey", {}, Plain(&TPictavoProc::ConvertToGray)},
      {"&Colour",
       "&Intensity...",
       {Num("Red", -255, 255, 0), Num("Green", -255, 255, 0), Num("Blue", -255, 255, 0)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().IntensityRGBall(v.numbers[0], v.numbers[1], v.numbers[2]);
         return std::string();
       }},
      {"&Colour",
       "C&ontrast...",
       {Num("Contrast", -100, 100, 20)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().Contrast(v.numbers[0]);
         return std::string();
       }},
      {"&Colour",
       "&HSV...",
       {Num("Hue", -359, 359, 0), Num("Saturation", -99, 99, 0), Num("Value", -99, 99, 0)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().HSVvar(v.numbers[0], v.numbers[1], v.numbers[2]);
         return std::string();
       }},
      {"&Colour",
       "HS&L...",
       {Num("Hue", -360, 360, 0), Num("Saturation", -100, 100, 0), Num("Lightness", -100, 100, 0)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().HSLvar(v.numbers[0], v.numbers[1], v.numbers[2]);
         return std::string();
       }},
      {"&Colour",
       "&Threshold...",
       {Num("Down (grey level)", 0, 255, 127), Num("Up (grey level)", 0, 255, 128),
        Num("Down becomes", 0, 255, 0), Num("Up becomes", 0, 255, 255)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().Threshold(Grey(v.numbers[0]), Grey(v.numbers[1]), Grey(v.numbers[2]),
                            Grey(v.numbers[3]));
         return std::string();
       }},
      {"&Colour",
       "Cast colour &range...",
       {Num("From red", 0, 255, 0), Num("From green", 0, 255, 0), Num("From blue", 0, 255, 0),
        Num("To red", 0, 255, 64), Num("To green", 0, 255, 64), Num("To blue", 0, 255, 64),
        Num("Cast red", 0, 255, 255), Num("Cast green", 0, 255, 0), Num("Cast blue", 0, 255, 0)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().CastColorRange(Colour(v, 0), Colour(v, 3), Colour(v, 6));
         return std::string();
       }},
      {"&Colour",
       "Reduce &colours...",
       {Num("Colours", 2, 256, 256)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().ConvertTo(v.numbers[0]);
         return std::string();
       }},
      {"&Colour", "Black and white, or&dered", {}, Plain(&TPictavoProc::ConvertToBWOrdered)},
      {"&Colour",
       "&Black and white, threshold...",
       {Num("Threshold (-1: mean)", -1, 256, -1)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().ConvertToBWThreshold(v.numbers[0]);
         return std::string();
       }},
      {"&Colour", "To &24 bits", {}, Plain(&TPictavoProc::ConvertTo24Bit)},
      {"&Colour",
       "E&xtract channel...",
       {Choice("Channel", {"Blue", "Green", "Red", "Hue", "Saturation", "Value"}, 2)},
       [](TPictavo& p, const TOpValues& v) {
         const int choice = v.numbers[0];
         std::unique_ptr<TBitmap> channel =
             choice < 3 ? p.Proc().GetRGBChannel(choice) : p.Proc().GetHSVChannel(choice - 3);
         if (!channel) throw std::runtime_error("Channels need a 24-bit image.");
         p.Assign(channel.get());
         return std::string();
       }},
      {"&Colour",
       "Co&unt colours",
       {},
       [](TPictavo& p, const TOpValues&) {
         return std::to_string(p.Proc().CalcImageNumColors()) + " colours";
       },
       false},
  };
}

std::vector<TProcOp> FilterOps() {
  return {
      {"&Filters",
       "&Filter...",
       {Choice("Filter", kPresetNames, 1)},
       [](TPictavo& p, const TOpValues& v) {
         Ensure24(p);
         p.Proc().ApplyFilter(PVFiltPres[v.numbers[0]]);
         return std::string();
       }},
      {"&Filters",
       "Filter from fi&le...",
       {File("Filter file")},
       [](TPictavo& p, const TOpValues& v) {
         TGraphFilter filter;
         try {
           filter = LoadFilterFromFile(v.text);
         } catch (const std::exception&) {
           throw std::runtime_error("Cannot read the filter file \"" + v.text + "\".");
         }
         Ensure24(p);
         p.Proc().ApplyFilter(filter);
         return std::string();
       }},
      {"&Filters", "Ma&ximum...", {Num("Radius", 0, kMaxWindow, 1)}, Morph(&TPictavoProc::Maximum)},
      {"&Filters", "Mi&nimum...", {Num("Radius", 0, kMaxWindow, 1)}, Morph(&TPictavoProc::Minimum)},
      {"&Filters", "&Opening...", {Num("Radius", 0, kMaxWindow, 1)}, Morph(&TPictavoProc::Opening)},
      {"&Filters", "&Closing...", {Num("Radius", 0, kMaxWindow, 1)}, Morph(&TPictavoProc::Closing)},
      {"&Filters",
       "&Equalize...",
       {Num("Low red", 0, 255, 0), Num("Low green", 0, 255, 0), Num("Low blue", 0, 255, 0),
        Num("High red", 0, 255, 255), Num("High green", 0, 255, 255),
        Num("High blue", 0, 255, 255)},
       [](TPictavo& p, const TOpValues& v) {
         Ensure24(p);
         p.Proc().HistEqualize(Colour(v, 0), Colour(v, 3));
         return std::string();
       }},
      {"&Filters",
       "&Auto equalize",
       {},
       [](TPictavo& p, const TOpValues&) {
         Ensure24(p);
         p.Proc().HistAutoEqualize();
         return std::string();
       }},
  };
}

std::vector<TProcOp> GeometryOps() {
  return {
      {"&Geometry",
       "&Resample...",
       {FromImage("Width", 1, kMaxSide, TParamDefault::Width),
        FromImage("Height", 1, kMaxSide, TParamDefault::Height),
        Choice("Filter", kFilterNames, int(rfLanczos3))},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().Resample(v.numbers[0], v.numbers[1], TResampleFilter(v.numbers[2]));
         return std::string();
       }},
      {"&Geometry",
       "&Canvas size...",
       {FromImage("Width", 1, kMaxSide, TParamDefault::Width),
        FromImage("Height", 1, kMaxSide, TParamDefault::Height)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().ImageResize(v.numbers[0], v.numbers[1]);
         return std::string();
       }},
      {"&Geometry",
       "R&otate...",
       {Num("Degrees (counter-clockwise)", -360, 360, 90),
        Choice("Edges", {"Sharp", "Blended"}, 0)},
       [](TPictavo& p, const TOpValues& v) {
         p.Proc().Rotate(v.numbers[0], v.numbers[1] == 1);
         return std::string();
       }},
      {"&Geometry",
       "Flip &horizontally",
       {},
       [](TPictavo& p, const TOpValues&) {
         p.Proc().Flip(fdHorizontal);
         return std::string();
       }},
      {"&Geometry",
       "Flip &vertically",
       {},
       [](TPictavo& p, const TOpValues&) {
         p.Proc().Flip(fdVertical);
         return std::string();
       }},
      {"&Geometry",
       "Cro&p to selection",
       {},
       [](TPictavo& p, const TOpValues&) {
         p.Proc().CropSel();
         p.DeSelect();
         return std::string();
       }},
  };
}

std::vector<TProcOp> EffectOps() {
  return {
      {"&Effects",
       "&Wave...",
       {Num("Amplitude", -1000, 1000, 5), Num("Wave length", -1000, 1000, 20),
        Num("Phase (degrees)", -360, 360, 0), Choice("Reflective", {"No", "Yes"}, 0)},
       [](TPictavo& p, const TOpValues& v) {
         Ensure24(p);
         p.Proc().Wave(v.numbers[0], v.numbers[1], v.numbers[2], v.numbers[3] == 1);
         return std::string();
       }},
      {"&Effects",
       "&Lens...",
       {FromImage("Centre x", -kMaxCoordinate, kMaxCoordinate, TParamDefault::HalfWidth),
        FromImage("Centre y", -kMaxCoordinate, kMaxCoordinate, TParamDefault::HalfHeight),
        FromImage("Width", 0, kMaxCoordinate, TParamDefault::HalfWidth),
        FromImage("Height", 0, kMaxCoordinate, TParamDefault::HalfHeight),
        Num("Refraction (tenths)", 10, 1000, 20)},
       [](TPictavo& p, const TOpValues& v) {
         Ensure24(p);
         p.Proc().Lens(v.numbers[0], v.numbers[1], v.numbers[2], v.numbers[3], v.numbers[4] / 10.0);
         return std::string();
       }},
      {"&Effects",
       "&Bump mapping...",
       {FromImage("Light x", -kMaxCoordinate, kMaxCoordinate, TParamDefault::HalfWidth),
        FromImage("Light y", -kMaxCoordinate, kMaxCoordinate, TParamDefault::HalfHeight),
        FromImage("Width", -kMaxCoordinate, kMaxCoordinate, TParamDefault::HalfWidth),
        FromImage("Height", -kMaxCoordinate, kMaxCoordinate, TParamDefault::HalfHeight),
        Num("Image kept (%)", 0, 100, 50), Num("Light red", 0, 255, 255),
        Num("Light green", 0, 255, 255), Num("Light blue", 0, 255, 255)},
       [](TPictavo& p, const TOpValues& v) {
         Ensure24(p);
         p.Proc().BumpMapping(v.numbers[0], v.numbers[1], v.numbers[2], v.numbers[3], v.numbers[4],
                              Colour(v, 5));
         return std::string();
       }},
      {"&Effects",
       "&Merge with file...",
       {File("Image file"), Num("Image kept (%)", 0, 100, 50)},
       [](TPictavo& p, const TOpValues& v) {
         TBitmap other;
         TPictavoIO io;
         io.SetAttachedBitmap(&other);
         io.LoadFromFile(v.text);
         if (io.Aborting || other.Empty())
           throw std::runtime_error("Cannot read \"" + v.text + "\" as an image.");
         Ensure24(p);
         p.Proc().Merge(other, v.numbers[1]);
         return std::string();
       }},
  };
}

// The hidden-data entries check the room and the stored length themselves:
// writing past the room is cut short silently, and the stored length of an
// image without hidden data is whatever its low bits say.
std::vector<TProcOp> HiddenOps() {
  return {
      {"&Hidden data",
       "&Hide text...",
       {Text("Text")},
       [](TPictavo& p, const TOpValues& v) {
         Ensure24(p);
         const int room = p.Proc().GetHiddenDataSpace();
         if (int64_t(v.text.size()) > room)
           throw std::runtime_error("The image holds at most " + std::to_string(std::max(room, 0)) +
                                    " bytes of hidden data.");
         p.Proc().WriteHiddenText(v.text);
         return std::to_string(v.text.size()) + " bytes hidden";
       }},
      {"&Hidden data",
       "&Reveal text",
       {},
       [](TPictavo& p, const TOpValues&) {
         const int length = p.Proc().ReadHiddenData(nullptr, 0);
         if (length <= 0 || length > p.Proc().GetHiddenDataSpace())
           return std::string("No hidden text.");
         return "Hidden text: " + p.Proc().ReadHiddenText();
       },
       false},
  };
}

std::vector<TProcOp> FrequencyOps() {
  return {
      {"F&requency",
       "&Low pass...",
       {Num("Radius", 0, kMaxRadius, 30)},
       [](TPictavo& p, const TOpValues& v) {
         auto ft = Transform(p);
         ft->LoPass(v.numbers[0]);
         p.Proc().FTConvertFrom(*ft);
         return std::string();
       }},
      {"F&requency",
       "&High pass...",
       {Num("Radius", 0, kMaxRadius, 5)},
       [](TPictavo& p, const TOpValues& v) {
         auto ft = Transform(p);
         ft->HiPass(v.numbers[0]);
         p.Proc().FTConvertFrom(*ft);
         return std::string();
       }},
      {"F&requency",
       "&Spectrum",
       {},
       [](TPictavo& p, const TOpValues&) {
         auto ft = Transform(p);
         p.Proc().FTDisplayFrom(*ft);
         return std::string();
       }},
  };
}

std::string WithoutAmpersands(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '&') out += c;
  return out;
}

}  // namespace

const std::vector<TProcOp>& ProcOps() {
  static const std::vector<TProcOp> ops = [] {
    std::vector<TProcOp> all;
    for (auto part :
         {ColourOps(), FilterOps(), GeometryOps(), EffectOps(), HiddenOps(), FrequencyOps()})
      all.insert(all.end(), part.begin(), part.end());
    return all;
  }();
  return ops;
}

const TProcOp* FindProcOp(const std::string& caption) {
  const std::string wanted = WithoutAmpersands(caption);
  for (const TProcOp& op : ProcOps())
    if (WithoutAmpersands(op.caption) == wanted) return &op;
  return nullptr;
}

std::string ApplyProcOp(TPictavo& pictavo, const TProcOp& op, const TOpValues& values) {
  if (!op.modifies) return op.run(pictavo, values);
  pictavo.SaveUndo();
  const bool autoUndo = pictavo.GetAutoUndo();
  pictavo.SetAutoUndo(false);
  struct Restore {
    TPictavo& p;
    bool on;
    ~Restore() { p.SetAutoUndo(on); }
  } restore{pictavo, autoUndo};
  return op.run(pictavo, values);
}

int InitialValue(const TOpParam& param, int width, int height) {
  switch (param.from) {
    case TParamDefault::Width:
      return width;
    case TParamDefault::Height:
      return height;
    case TParamDefault::HalfWidth:
      return width / 2;
    case TParamDefault::HalfHeight:
      return height / 2;
    case TParamDefault::Constant:
      break;
  }
  return param.value;
}

}  // namespace pictavo::viewer
