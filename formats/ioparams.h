// TIOParamsVals: everything a file format says about an image besides its
// pixels (size, depth, resolution, palette, and each format's own settings).
// Readers fill it, writers read it, applications edit it in between.  It also
// holds the pluggable LZW coders and has a versioned parameters file.  The
// fields are listed once, in formats/ioparams_fields.h.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/markers.h"
#include "core/pvdefs.h"
#include "formats/ioparams_fields.h"
#include "formats/ioparams_schema.h"
#include "platform/lists.h"
#include "platform/stream.h"

namespace pictavo {

enum TIOTIFFCompression : uint8_t {
  ioTIFF_UNCOMPRESSED,
  ioTIFF_CCITT1D,
  ioTIFF_G3FAX1D,
  ioTIFF_G3FAX2D,
  ioTIFF_G4FAX,
  ioTIFF_LZW,
  ioTIFF_OLDJPEG,
  ioTIFF_JPEG,
  ioTIFF_PACKBITS,
  ioTIFF_DEFLATE  // appended: files of parameters keep the values before it
};
enum TIOTIFFPhotometInterpret : uint8_t {
  ioTIFF_WHITEISZERO,
  ioTIFF_BLACKISZERO,
  ioTIFF_RGB,
  ioTIFF_RGBPALETTE,
  ioTIFF_TRANSPMASK,
  ioTIFF_CMYK,
  ioTIFF_YCBCR,
  ioTIFF_CIELAB
};
enum TIOJPEGColorspace : uint8_t {
  ioJPEG_RGB,
  ioJPEG_GRAYLEV,
  ioJPEG_YCbCr,
  ioJPEG_CMYK,
  ioJPEG_YCbCrK
};
enum TIOJPEGDctMethod : uint8_t { ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT };
enum TIOJPEGScale : uint8_t {
  ioJPEG_AUTOCALC,
  ioJPEG_FULLSIZE,
  ioJPEG_HALF,
  ioJPEG_QUARTER,
  ioJPEG_EIGHTH
};
enum TIOBMPVersion : uint8_t { ioBMP_BM, ioBMP_BM3, ioBMP_BMOS2V1, ioBMP_BMOS2V2 };
enum TIOBMPCompression : uint8_t { ioBMP_UNCOMPRESSED, ioBMP_RLE };
enum TIOPCXCompression : uint8_t { ioPCX_UNCOMPRESSED, ioPCX_RLE };
enum TIOPNGFilter : uint8_t { ioPNG_FILTER_NONE, ioPNG_FILTER_SUB, ioPNG_FILTER_PAETH };

// Member names of the enumerations, for the command line and the checks of
// the parameters file.
#define PV_ENUM_NAMES(E, Last, ...)                                           \
  template <>                                                                 \
  struct TPVEnumNames<E> {                                                    \
    static constexpr std::array<const char*, Last + 1> Names = {__VA_ARGS__}; \
  };
PV_ENUM_NAMES(TIOTIFFCompression, ioTIFF_DEFLATE, "ioTIFF_UNCOMPRESSED", "ioTIFF_CCITT1D",
              "ioTIFF_G3FAX1D", "ioTIFF_G3FAX2D", "ioTIFF_G4FAX", "ioTIFF_LZW", "ioTIFF_OLDJPEG",
              "ioTIFF_JPEG", "ioTIFF_PACKBITS", "ioTIFF_DEFLATE")
PV_ENUM_NAMES(TIOTIFFPhotometInterpret, ioTIFF_CIELAB, "ioTIFF_WHITEISZERO", "ioTIFF_BLACKISZERO",
              "ioTIFF_RGB", "ioTIFF_RGBPALETTE", "ioTIFF_TRANSPMASK", "ioTIFF_CMYK", "ioTIFF_YCBCR",
              "ioTIFF_CIELAB")
PV_ENUM_NAMES(TIOJPEGColorspace, ioJPEG_YCbCrK, "ioJPEG_RGB", "ioJPEG_GRAYLEV", "ioJPEG_YCbCr",
              "ioJPEG_CMYK", "ioJPEG_YCbCrK")
PV_ENUM_NAMES(TIOJPEGDctMethod, ioJPEG_FLOAT, "ioJPEG_ISLOW", "ioJPEG_IFAST", "ioJPEG_FLOAT")
PV_ENUM_NAMES(TIOJPEGScale, ioJPEG_EIGHTH, "ioJPEG_AUTOCALC", "ioJPEG_FULLSIZE", "ioJPEG_HALF",
              "ioJPEG_QUARTER", "ioJPEG_EIGHTH")
PV_ENUM_NAMES(TIOBMPVersion, ioBMP_BMOS2V2, "ioBMP_BM", "ioBMP_BM3", "ioBMP_BMOS2V1",
              "ioBMP_BMOS2V2")
PV_ENUM_NAMES(TIOBMPCompression, ioBMP_RLE, "ioBMP_UNCOMPRESSED", "ioBMP_RLE")
PV_ENUM_NAMES(TIOPCXCompression, ioPCX_RLE, "ioPCX_UNCOMPRESSED", "ioPCX_RLE")
PV_ENUM_NAMES(TIOPNGFilter, ioPNG_FILTER_PAETH, "ioPNG_FILTER_NONE", "ioPNG_FILTER_SUB",
              "ioPNG_FILTER_PAETH")
#undef PV_ENUM_NAMES

// GIF LZW decoder: reads the minimum code size and the data sub-blocks at the
// stream position and fills Dest (Width x Height index bytes, row-major, in
// display order).  Returns false when the data is malformed or ends before
// the frame is full (the pixels decoded so far are kept, the rest are 0).
using TGIFLZWDecompFunc = bool (*)(TStream& Stream, int Height, int Width, bool Interlaced,
                                   uint8_t* Dest);
// GIF LZW encoder: writes the minimum code size, the sub-blocks and the 0
// terminator for Width x Height index bytes.  Returns false on a short write.
using TGIFLZWCompFunc = bool (*)(TStream& Stream, int Height, int Width, bool Interlaced,
                                 const uint8_t* Data, int BitsPerPixel);
// TIFF LZW decoder, one row per call over a strip of DataLength bytes: the
// first call (State null) creates the state; Data null frees it.  Returns
// the next decoded row of RowLength bytes, or null on error or end of data.
using TTIFFLZWDecompFunc = uint8_t* (*)(const uint8_t* Data, int64_t DataLength, int RowLength,
                                        void*& State);
// TIFF LZW encoder: the first call (State null) starts a code stream; Data
// null finishes and frees it.  Returns false on a short write.
using TTIFFLZWCompFunc = bool (*)(const uint8_t* Data, int Length, TStream& Stream, void*& State);

// The defaults taken by SetDefaultParams.  Empty at start: the application
// assigns the library's coders to enable LZW.
extern TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC;
extern TGIFLZWCompFunc DefGIF_LZWCOMPFUNC;
extern TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC;
extern TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC;

// What SetDefaultParams asks of the owning I/O component.
class TIOParamsOwner {
 public:
  virtual ~TIOParamsOwner() = default;
  // The attached target bitmap, or null.
  virtual TBitmap* ParamsTargetBitmap() = 0;
  // The attached view's resolution; false when no view is attached.
  virtual bool ParamsViewResolution(int& dpiX, int& dpiY) = 0;
};

class TIOParamsVals : public TObject {
 public:
  explicit TIOParamsVals(TIOParamsOwner* owner = nullptr);
  ~TIOParamsVals() override;
  TIOParamsVals(const TIOParamsVals&) = delete;
  TIOParamsVals& operator=(const TIOParamsVals&) = delete;

  void SetDefaultParams();
  void Assign(const TIOParamsVals& source);
  // Every field of the list equal (the owner is not compared).
  bool operator==(const TIOParamsVals& other) const;
  void SaveToFile(const std::string& name);
  void LoadFromFile(const std::string& name);
  void SaveToStream(TStream& stream);
  void LoadFromStream(TStream& stream);
  std::string GetFileTypeStr() const;

  // Replaces the colour map with a copy of `count` entries (none for 0).
  void SetColorMap(const TRGB* entries, int count);
  void FreeColorMap();
  TIOParamsOwner* Owner() const { return owner_; }

  // The fields, declared from formats/ioparams_fields.h.
#define PV_IOPARAMS_DECLARE(Name, Type, Default, Version, Group, Form) Type Name{};
  PV_IOPARAMS_FIELDS(PV_IOPARAMS_DECLARE)
#undef PV_IOPARAMS_DECLARE

 private:
  TIOParamsOwner* owner_;
};

// Today's date (no time part) as days since 30 December 1899.
double PVDateToday();

// The parameters-file version written (versions 0 up to it are read).
inline constexpr int32_t kPVParamsFileVersion = 5;

// The descriptors of every field, in file order.
#define PV_IOPARAMS_DESCRIBE(...) PV_FIELD_DESCRIPTOR(TIOParamsVals, __VA_ARGS__)
inline const auto& PVIOParamsFields() {
  static const auto fields =
      std::make_tuple(PV_IOPARAMS_FIELDS(PV_IOPARAMS_DESCRIBE) TPVEndOfFields{});
  return fields;
}
#undef PV_IOPARAMS_DESCRIBE

}  // namespace pictavo
