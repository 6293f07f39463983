// GIF files built block by block: the looping extension found behind other
// extensions, kept single when rewritten, and every frame listed in one pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/gif.h"
#include "core/pvdefs.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

using Bytes = std::vector<uint8_t>;

// Header and a four-entry global table of a 4 x 3 screen.
Bytes Screen() {
  return {'G', 'I', 'F', '8', '9', 'a', 4, 0,   3, 0, 0x81, 0,  0,
          0,   0,   0,   255, 0,   0,   0, 255, 0, 0, 0,    255};
}

// A graphic control block: delay in 1/100 s, transparent index when >= 0.
Bytes Control(int delay, int transparent = -1) {
  return {0x21,
          0xF9,
          4,
          uint8_t(transparent >= 0 ? 1 : 0),
          uint8_t(delay),
          uint8_t(delay >> 8),
          uint8_t(transparent >= 0 ? transparent : 0),
          0};
}

Bytes Loop(int count) {
  Bytes b = {0x21, 0xFF, 11};
  const char* id = "NETSCAPE2.0";
  b.insert(b.end(), id, id + 11);
  b.insert(b.end(), {3, 1, uint8_t(count), uint8_t(count >> 8), 0});
  return b;
}

Bytes Comment(const std::string& text) {
  Bytes b = {0x21, 0xFE, uint8_t(text.size())};
  b.insert(b.end(), text.begin(), text.end());
  b.push_back(0);
  return b;
}

// A 1 x 1 image at (x, y) of colour index p: code size 2, then the codes
// clear (4), p and end (5), three bits each, packed from the low bit.
Bytes Image(int x, int y, int p) {
  const int bits = 4 | (p << 3) | (5 << 6);
  return {0x2C,          uint8_t(x),         0, uint8_t(y), 0, 1, 0, 1, 0, 0, 2, 2,
          uint8_t(bits), uint8_t(bits >> 8), 0};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string WriteTemp(const std::string& name, const Bytes& data) {
  const auto dir = std::filesystem::temp_directory_path() / "pictavo_gif_frames";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  return path;
}

Bytes ReadBack(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

size_t CountLoopExtensions(const Bytes& data) {
  size_t n = 0;
  for (size_t i = 0; i + 11 <= data.size(); ++i)
    if (std::memcmp(data.data() + i, "NETSCAPE2.0", 11) == 0) ++n;
  return n;
}

TEST(GifFrames, LoopExtensionFoundBehindOtherExtensions) {
  const Bytes trailer = {0x3B};
  struct Case {
    const char* name;
    Bytes file;
    bool animated;
  } cases[] = {
      {"loop_first", Join({Screen(), Loop(0), Control(5), Image(0, 0, 1), trailer}), true},
      {"control_first", Join({Screen(), Control(5), Loop(0), Image(0, 0, 1), trailer}), true},
      {"comment_first",
       Join({Screen(), Comment("made by hand"), Control(5), Loop(3), Image(0, 0, 1), trailer}),
       true},
      {"no_loop", Join({Screen(), Control(5), Image(0, 0, 1), trailer}), false},
      {"loop_after_image", Join({Screen(), Control(5), Image(0, 0, 1), Loop(0), trailer}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(_CheckGifAnimate(WriteTemp(std::string(c.name) + ".gif", c.file)), c.animated);
  }
}

TEST(GifFrames, MakeAnimateReplacesALaterLoopExtension) {
  const std::string path =
      WriteTemp("replace.gif", Join({Screen(), Control(5), Loop(7), Image(1, 2, 2), {0x3B}}));
  _GifMakeAnimate(path, 9, 4, 3);
  const Bytes out = ReadBack(path);
  EXPECT_EQ(CountLoopExtensions(out), 1u);
  EXPECT_TRUE(_CheckGifAnimate(path));
  // The new extension follows the screen; its loop count is 9.
  const Bytes expected = Join({Screen(), Loop(9), Control(5), Image(1, 2, 2), {0x3B}});
  EXPECT_EQ(out, expected);
}

TEST(GifFrames, EveryFrameListedInOnePass) {
  Bytes file = Join({Screen(), Loop(0)});
  const int delays[] = {10, 20, 0, 40, 50};
  for (int i = 0; i < 5; ++i) {
    if (delays[i] > 0) {
      const Bytes gce = Control(delays[i], i == 1 ? 3 : -1);
      file.insert(file.end(), gce.begin(), gce.end());
    }
    const Bytes img = Image(i % 4, i % 3, i % 4);
    file.insert(file.end(), img.begin(), img.end());
  }
  file.push_back(0x3B);
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  struct Seen {
    int x, y, delay;
    bool transparent;
  };
  std::vector<Seen> seen;
  const int count = GIFListFrames(s, progress, [&](int index, const TIOParamsVals& p) {
    EXPECT_EQ(index, int(seen.size()));
    seen.push_back({p.GIF_XPos, p.GIF_YPos, p.GIF_DelayTime, p.GIF_Transparent});
  });
  EXPECT_FALSE(aborted);
  ASSERT_EQ(count, 5);
  ASSERT_EQ(seen.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[size_t(i)].x, i % 4);
    EXPECT_EQ(seen[size_t(i)].y, i % 3);
    // Frame 2 has no control block: no delay, and frame 1's transparency
    // does not carry over.
    EXPECT_EQ(seen[size_t(i)].delay, delays[i]);
    EXPECT_EQ(seen[size_t(i)].transparent, i == 1);
    // The same as reading that frame's parameters alone.
    TReadOnlyMemoryStream one(file.data(), int64_t(file.size()));
    TIOParamsVals params;
    params.GIF_ImageIndex = i;
    int frames = 0;
    bool a = false;
    TProgressRec pr;
    pr.Aborting = &a;
    ReadGifStream(one, nullptr, frames, true, pr, params);
    EXPECT_EQ(params.GIF_DelayTime, delays[i]);
    EXPECT_EQ(params.GIF_XPos, i % 4);
  }
}

}  // namespace
}  // namespace pictavo
