#include "platform/cursors.h"

#include <algorithm>
#include <map>

#include "platform/canvas.h"

namespace pictavo {

namespace {

constexpr int kPictureSize = 16;
constexpr int kScale = 2;

using Picture = std::vector<std::string>;

struct Resource {
  const char* name;
  TPoint hotspot;
  Picture rows;
};

// Each picture is 16 x 16: '#' black, '.' white, blank transparent.
const Resource kArrow{
    "ARROW",
    {0, 0},
    {"#               ", "##              ", "#.#             ", "#..#            ",
     "#...#           ", "#....#          ", "#.....#         ", "#......#        ",
     "#.......#       ", "#........#      ", "#.....#####     ", "#..#..#         ",
     "#.# #..#        ", "##  #..#        ", "     #..#       ", "      ##        "}};

const Resource kCroce{
    "CROCE",
    {7, 7},
    {"      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
     "      .#.       ", "      .#.       ", "........#...... ", ".##############.",
     "........#...... ", "      .#.       ", "      .#.       ", "      .#.       ",
     "      .#.       ", "      .#.       ", "      .#.       ", "       .        "}};

const Resource kCroce1{
    "CROCE1",
    {7, 7},
    {"       #        ", "       #        ", "       #        ", "       #        ",
     "       #        ", "                ", "                ", "#####  #  ######",
     "                ", "                ", "       #        ", "       #        ",
     "       #        ", "       #        ", "       #        ", "                "}};

const Resource kCroce2{
    "CROCE2",
    {7, 7},
    {"      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
     "      .#.       ", "      ...       ", "......   ......", "#####. # .#####",
     "......   ......", "      ...       ", "      .#.       ", "      .#.       ",
     "      .#.       ", "      .#.       ", "      .#.       ", "                "}};

const Resource kZoomIn{
    "ZOOMPIU",
    {4, 4},
    {"   ####         ", " ##....##       ", " #......#       ", "#...##...#      ",
     "#.######.#      ", "#.######.#      ", "#...##...#      ", " #......#       ",
     " ##....###      ", "   #######      ", "        ###     ", "         ###    ",
     "          ###   ", "           ###  ", "            ##  ", "                "}};

const Resource kZoomOut{
    "ZOOMMENO",
    {4, 4},
    {"   ####         ", " ##....##       ", " #......#       ", "#........#      ",
     "#.######.#      ", "#.######.#      ", "#........#      ", " #......#       ",
     " ##....###      ", "   #######      ", "        ###     ", "         ###    ",
     "          ###   ", "           ###  ", "            ##  ", "                "}};

const Resource kHand{
    "MANO",
    {8, 7},
    {"     ## ##      ", "    #..#..###   ", "    #..#..#..#  ", " ## #..#..#..#  ",
     "#..##..#..#..#  ", "#...#........#  ", " #...........#  ", "  #..........#  ",
     "  #.........#   ", "   #........#   ", "   #.......#    ", "    #......#    ",
     "    ########    ", "                ", "                ", "                "}};

const Resource kPen{
    "PENNA",
    {0, 15},
    {"           ###  ", "          #..## ", "         #..#.# ", "        #..#.#  ",
     "       #..#.#   ", "      #..#.#    ", "     #..#.#     ", "    #..#.#      ",
     "   #..#.#       ", "  #..#.#        ", " ##..#.#        ", " #.##.#         ",
     "#...##          ", "#..#            ", "##              ", "#               "}};

const Resource kEraser{
    "GOMMA",
    {1, 12},
    {"                ", "                ", "                ", "                ",
     "     ##########  ", "    #........## ", "   #........#.# ", "  ##########..# ",
     "  #........#..# ", "  #........#.#  ", "  #........##   ", "  ##########    ",
     "                ", "                ", "                ", "                "}};

const Resource kMove{
    "MOVE",
    {7, 7},
    {"       #        ", "      ###       ", "     #####      ", "       #        ",
     "       #        ", "  #    #    #   ", " ##    #    ##  ", "############### ",
     " ##    #    ##  ", "  #    #    #   ", "       #        ", "       #        ",
     "     #####      ", "      ###       ", "       #        ", "                "}};

const Resource kMoveX{
    "MOVEX",
    {7, 7},
    {"                ", "                ", "                ", "                ",
     "                ", "  #         #   ", " ##.........##  ", "############### ",
     " ##.........##  ", "  #         #   ", "                ", "                ",
     "                ", "                ", "                ", "                "}};

const Resource kMove2{
    "MOVE2",
    {7, 7},
    {"#####           ", "##              ", "# #             ", "#  #            ",
     "#   #           ", "     #          ", "      #         ", "       #        ",
     "        #       ", "         #      ", "          #   # ", "           #  # ",
     "            # # ", "             ## ", "          ##### ", "                "}};

const Resource kIBeam{
    "IBEAM",
    {7, 7},
    {"  ###   ###     ", "     # #        ", "      #         ", "      #         ",
     "      #         ", "      #         ", "      #         ", "      #         ",
     "      #         ", "      #         ", "      #         ", "      #         ",
     "      #         ", "      #         ", "     # #        ", "  ###   ###     "}};

const Resource kHourGlass{
    "HOURGLASS",
    {7, 7},
    {"############### ", " #...........#  ", " #...........#  ", "  #.........#   ",
     "   #.#####.#    ", "    #.###.#     ", "     #.#.#      ", "      #.#       ",
     "     #...#      ", "    #..#..#     ", "   #...#...#    ", "  #...###...#   ",
     " #..#######..#  ", " #...........#  ", "############### ", "                "}};

Picture Mirror(const Picture& p) {
  Picture out;
  for (std::string row : p) {
    row.resize(kPictureSize, ' ');
    std::reverse(row.begin(), row.end());
    out.push_back(row);
  }
  return out;
}

Picture Transpose(const Picture& p) {
  Picture out(kPictureSize, std::string(kPictureSize, ' '));
  for (int y = 0; y < kPictureSize && y < int(p.size()); ++y)
    for (int x = 0; x < kPictureSize && x < int(p[y].size()); ++x) out[x][y] = p[y][x];
  return out;
}

const std::map<std::string, TCursorImage>& Resources() {
  static const std::map<std::string, TCursorImage> table = [] {
    std::map<std::string, TCursorImage> t;
    for (const Resource* r : {&kCroce, &kCroce1, &kCroce2, &kZoomIn, &kZoomOut, &kHand, &kPen,
                              &kEraser, &kMove, &kMoveX, &kMove2})
      t[r->name] = CursorFromPicture(r->rows, r->hotspot, r->name);
    t["MOVEY"] = CursorFromPicture(Transpose(kMoveX.rows), {7, 7}, "MOVEY");
    t["MOVE1"] = CursorFromPicture(Mirror(kMove2.rows), {8, 7}, "MOVE1");
    return t;
  }();
  return table;
}

}  // namespace

TCursorImage CursorFromPicture(const std::vector<std::string>& rows, TPoint hotspot,
                               const std::string& name) {
  const int size = kPictureSize * kScale;
  TCursorImage image;
  image.name = name;
  image.hotspot = Point(hotspot.x * kScale, hotspot.y * kScale);
  image.color = std::make_shared<TBitmap>(size, size, pf24bit);
  image.mask = std::make_shared<TBitmap>(size, size, pf1bit);
  TCanvas& color = image.color->Canvas();
  TCanvas& mask = image.mask->Canvas();
  color.Brush().SetColor(clWhite);
  color.FillRect(Rect(0, 0, size, size));
  mask.Brush().SetColor(clWhite);  // 1: transparent
  mask.FillRect(Rect(0, 0, size, size));
  for (int y = 0; y < kPictureSize && y < int(rows.size()); ++y) {
    for (int x = 0; x < kPictureSize && x < int(rows[y].size()); ++x) {
      char c = rows[y][x];
      if (c != '#' && c != '.') continue;
      TRect cell = Rect(x * kScale, y * kScale, (x + 1) * kScale, (y + 1) * kScale);
      color.Brush().SetColor(c == '#' ? clBlack : clWhite);
      color.FillRect(cell);
      mask.Brush().SetColor(clBlack);
      mask.FillRect(cell);
    }
  }
  return image;
}

TCursorImage LoadCursorResource(const std::string& name) {
  auto it = Resources().find(name);
  return it != Resources().end() ? it->second : TCursorImage();
}

std::vector<std::string> CursorResourceNames() {
  std::vector<std::string> names;
  for (const auto& [name, image] : Resources()) names.push_back(name);
  return names;
}

TCursorImage StandardCursorImage(TCursor cursor) {
  switch (cursor) {
    case crCross:
      return LoadCursorResource("CROCE");
    case crIBeam:
      return CursorFromPicture(kIBeam.rows, kIBeam.hotspot, kIBeam.name);
    case crHourGlass:
    case crAppStart:
      return CursorFromPicture(kHourGlass.rows, kHourGlass.hotspot, kHourGlass.name);
    case crSizeNS:
    case crVSplit:
      return LoadCursorResource("MOVEY");
    case crSizeWE:
    case crHSplit:
      return LoadCursorResource("MOVEX");
    case crSizeNWSE:
      return LoadCursorResource("MOVE2");
    case crSizeNESW:
      return LoadCursorResource("MOVE1");
    case crSizeAll:
      return LoadCursorResource("MOVE");
    case crHandPoint:
      return LoadCursorResource("MANO");
    case crNone:
      return TCursorImage();
    default:
      return CursorFromPicture(kArrow.rows, kArrow.hotspot, kArrow.name);
  }
}

}  // namespace pictavo
