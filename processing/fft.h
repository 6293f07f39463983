// The two-dimensional Fourier transform of an image: one complex plane for
// a grey image, or three for red, green and blue, in single precision.  The
// image is centred in an N x N square (N a power of two), the spectrum is
// centred by a (-1)^(x+y) factor, both directions are scaled by 1/sqrt(N)
// per dimension, and the planes can be filtered (circular low/high pass,
// rectangles of the centred spectrum) and transformed back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo {

enum TPVFtImageType : uint8_t { pvitUnknown, pvitRGB, pvitGrayscale };

// Pointers to one element of every plane (nil for absent planes).
struct TComplexPixel {
  float* RedReal = nullptr;
  float* RedImag = nullptr;
  float* BlueReal = nullptr;
  float* BlueImag = nullptr;
  float* GreenReal = nullptr;
  float* GreenImag = nullptr;
  float* GrayImag = nullptr;
  float* GrayReal = nullptr;
};

// Largest side of a transform.
constexpr int kFtMaxN = 8192;

class TPVFtImage : public TObject {
 public:
  TPVFtImage();
  ~TPVFtImage() override;
  TPVFtImage(const TPVFtImage&) = delete;
  TPVFtImage& operator=(const TPVFtImage&) = delete;

  void FreeAll();
  // Deep copy of the planes, offsets, sizes, type and progress handler.
  void Assign(const TPVFtImage& source);

  // Transforms the bitmap (pf24bit); an unknown type only records the
  // sizes.  Returns false, keeping no planes, when the bitmap is empty or
  // not pf24bit, when N would exceed kFtMaxN or N x N the pixel limit.
  bool BuildFT(const TBitmap& bitmap, TPVFtImageType type);
  // Paints the log-magnitude spectrum into the bitmap (made pf24bit N x N).
  void GetFTImage(TBitmap& bitmap);
  // Fills the bitmap (made pf24bit of the source size) with the inverse
  // transform, contrast-stretched to 0..255 per plane.
  void BuildBitmap(TBitmap& bitmap);
  // Element (x, y) of every plane; all nil outside the square.
  TComplexPixel GetComplexImage(int x, int y);

  // Zero every element at distance <= radius (HiPass) or > radius (LoPass)
  // from the centre (N div 2, N div 2), distance trunc(sqrt(dx^2 + dy^2)).
  void HiPass(int radius);
  void LoPass(int radius);
  // Zero x1..x2, y1..y2 inclusive (clipped to the square).
  void ClearZone(int x1, int y1, int x2, int y2);

  TPVFtImageType GetImageType() const { return type_; }
  int GetN() const { return n_; }
  int GetXOff() const { return xoff_; }
  int GetYOff() const { return yoff_; }
  int GetSourceWidth() const { return src_width_; }
  int GetSourceHeight() const { return src_height_; }
  bool Building() const { return building_; }

  TPVProgressEvent OnProgress;
  TObject* ProgressSender = nullptr;

  // One complex plane: N rows of 2N floats (N real parts, then N imaginary
  // parts), one allocation.
  using Plane = std::vector<float>;

 private:
  void FtInit(int n);
  void Fft2D(Plane& plane, float sign, TProgressRec& progress);
  void ZeroWhere(const std::function<bool(int x, int y)>& zero);
  std::vector<Plane*> PresentPlanes();

  TPVFtImageType type_ = pvitUnknown;
  int n_ = 0;
  int log2n_ = 0;
  double scale_ = 0;
  Plane red_, green_, blue_, grey_;
  int xoff_ = 0, yoff_ = 0;
  int src_width_ = 0, src_height_ = 0;
  std::vector<double> sine_;
  std::vector<int32_t> bitrev_;
  std::vector<int32_t> power_;
  std::vector<float> tw_re_, tw_im_;  // cos and sin of 2 pi k / N, single precision
  bool building_ = false;
};

// The transform of a bitmap for the processing component: with both sizes
// negative the bitmap itself, otherwise the bitmap stretched (nearest
// pixel) to width x height, a negative side following the aspect ratio.
// Null when the bitmap is not pf24bit or the transform is refused.
std::unique_ptr<TPVFtImage> PVFTCreateImage(const TBitmap& bitmap, TPVFtImageType type, int width,
                                            int height, const TPVProgressEvent& onProgress,
                                            TObject* sender);

}  // namespace pictavo
