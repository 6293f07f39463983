// The one list of TIOParamsVals fields.  Everything that handles every field
// (the declarations, SetDefaultParams, Assign, equality, the parameters file,
// the command line's setter and printer, the tests) is generated from it, so a
// field added here is handled everywhere at once.
//
// X(Name, Type, Default, Version, Group, Form)
//   Default  the value SetDefaultParams gives (PVKeep: left as it is,
//            PVEmptied: a list or colour map emptied)
//   Version  first parameters-file version that carries the field
//   Group    the format the field belongs to
//   Form     how the parameters file carries it (see TPVFieldForm)
//
// The order is the order of the parameters file.  The comment lines run to
// the end of that file, so they stay last: a new field goes into
// PV_IOPARAMS_STORED_FIELDS, at its end, with the next file version.
#pragma once

#define PV_IOPARAMS_FIELDS(X) PV_IOPARAMS_STORED_FIELDS(X) PV_IOPARAMS_TRAILING_FIELDS(X)

#define PV_IOPARAMS_STORED_FIELDS(X)                                                       \
  X(FileName, std::string, "", 0, "General", pvPlain)                                      \
  X(FileType, int32_t, 0, 0, "General", pvByteBeforeV2)                                    \
  X(BitsPerSample, int32_t, 8, 0, "General", pvPlain)                                      \
  X(SamplesPerPixel, int32_t, 3, 0, "General", pvPlain)                                    \
  X(Width, int32_t, PVKeep{}, 0, "General", pvPlain)                                       \
  X(Height, int32_t, PVKeep{}, 0, "General", pvPlain)                                      \
  X(DpiX, int32_t, PVKeep{}, 0, "General", pvPlain)                                        \
  X(DpiY, int32_t, PVKeep{}, 0, "General", pvPlain)                                        \
  X(ColorMap, std::vector<TRGB>, PVEmptied{}, 0, "General", pvPlain)                       \
  X(ColorMapCount, int32_t, 0, 0, "General", pvDerived)                                    \
  X(TIFF_Compression, TIOTIFFCompression, ioTIFF_UNCOMPRESSED, 0, "TIFF", pvPlain)         \
  X(TIFF_ImageIndex, int32_t, 0, 0, "TIFF", pvPlain)                                       \
  X(TIFF_PhotometInterpret, TIOTIFFPhotometInterpret, ioTIFF_RGB, 0, "TIFF", pvPlain)      \
  X(TIFF_PlanarConf, int32_t, 1, 0, "TIFF", pvPlain)                                       \
  X(TIFF_XPos, int32_t, 0, 0, "TIFF", pvPlain)                                             \
  X(TIFF_YPos, int32_t, 0, 0, "TIFF", pvPlain)                                             \
  X(TIFF_DocumentName, std::string, "", 0, "TIFF", pvPlain)                                \
  X(TIFF_ImageDescription, std::string, "", 0, "TIFF", pvPlain)                            \
  X(TIFF_PageName, std::string, "", 0, "TIFF", pvPlain)                                    \
  X(TIFF_PageNumber, int32_t, 0, 0, "TIFF", pvPlain)                                       \
  X(TIFF_PageCount, int32_t, 0, 0, "TIFF", pvPlain)                                        \
  X(TIFF_ImageCount, int32_t, 0, 4, "TIFF", pvPlain)                                       \
  X(TIFF_LZWDecompFunc, TTIFFLZWDecompFunc, DefTIFF_LZWDECOMPFUNC, 0, "TIFF", pvNotStored) \
  X(TIFF_LZWCompFunc, TTIFFLZWCompFunc, DefTIFF_LZWCOMPFUNC, 0, "TIFF", pvNotStored)       \
  X(GIF_Version, std::string, "GIF89a", 0, "GIF", pvPlain)                                 \
  X(GIF_ImageIndex, int32_t, 0, 0, "GIF", pvPlain)                                         \
  X(GIF_XPos, int32_t, 0, 0, "GIF", pvPlain)                                               \
  X(GIF_YPos, int32_t, 0, 0, "GIF", pvPlain)                                               \
  X(GIF_DelayTime, int32_t, 0, 0, "GIF", pvPlain)                                          \
  X(GIF_Transparent, bool, false, 0, "GIF", pvPlain)                                       \
  X(GIF_TranspColor, TRGB, kPVBlack, 0, "GIF", pvPlain)                                    \
  X(GIF_Interlaced, bool, false, 0, "GIF", pvPlain)                                        \
  X(GIF_WinWidth, int32_t, 0, 0, "GIF", pvPlain)                                           \
  X(GIF_WinHeight, int32_t, 0, 0, "GIF", pvPlain)                                          \
  X(GIF_Background, TRGB, kPVBlack, 0, "GIF", pvPlain)                                     \
  X(GIF_Ratio, int32_t, 0, 0, "GIF", pvPlain)                                              \
  X(GIF_ImageCount, int32_t, 0, 4, "GIF", pvPlain)                                         \
  X(GIF_LZWDecompFunc, TGIFLZWDecompFunc, DefGIF_LZWDECOMPFUNC, 0, "GIF", pvNotStored)     \
  X(GIF_LZWCompFunc, TGIFLZWCompFunc, DefGIF_LZWCOMPFUNC, 0, "GIF", pvNotStored)           \
  X(JPEG_ColorSpace, TIOJPEGColorspace, ioJPEG_YCbCr, 0, "JPEG", pvPlain)                  \
  X(JPEG_Quality, int32_t, 50, 0, "JPEG", pvPlain)                                         \
  X(JPEG_DCTMethod, TIOJPEGDctMethod, ioJPEG_ISLOW, 0, "JPEG", pvPlain)                    \
  X(JPEG_OptimalHuffman, bool, false, 0, "JPEG", pvPlain)                                  \
  X(JPEG_Smooth, int32_t, 0, 0, "JPEG", pvPlain)                                           \
  X(JPEG_Progressive, bool, false, 0, "JPEG", pvPlain)                                     \
  X(JPEG_Scale, TIOJPEGScale, ioJPEG_FULLSIZE, 1, "JPEG", pvPlain)                         \
  X(JPEG_MarkerList, TPVMarkerList, PVEmptied{}, 4, "JPEG", pvPlain)                       \
  X(PCX_Version, int32_t, 5, 0, "PCX", pvPlain)                                            \
  X(PCX_Compression, TIOPCXCompression, ioPCX_RLE, 0, "PCX", pvPlain)                      \
  X(BMP_Version, TIOBMPVersion, ioBMP_BM3, 0, "BMP", pvPlain)                              \
  X(BMP_Compression, TIOBMPCompression, ioBMP_UNCOMPRESSED, 0, "BMP", pvPlain)             \
  X(ICO_ImageIndex, int32_t, 0, 1, "ICO", pvSkip2InV0)                                     \
  X(ICO_Background, TRGB, kPVWhite, 3, "ICO", pvPlain)                                     \
  X(CUR_ImageIndex, int32_t, 0, 1, "CUR", pvSkip2InV0)                                     \
  X(CUR_XHotSpot, int32_t, 0, 1, "CUR", pvZeroInV0)                                        \
  X(CUR_YHotSpot, int32_t, 0, 1, "CUR", pvZeroInV0)                                        \
  X(CUR_Background, TRGB, kPVWhite, 3, "CUR", pvPlain)                                     \
  X(PNG_Interlaced, bool, false, 0, "PNG", pvPlain)                                        \
  X(PNG_Background, TRGB, kPVBlack, 0, "PNG", pvPlain)                                     \
  X(PNG_Filter, TIOPNGFilter, ioPNG_FILTER_NONE, 0, "PNG", pvPlain)                        \
  X(PNG_Compression, int32_t, 5, 0, "PNG", pvPlain)                                        \
  X(TGA_XPos, int32_t, 0, 3, "TGA", pvPlain)                                               \
  X(TGA_YPos, int32_t, 0, 3, "TGA", pvPlain)                                               \
  X(TGA_Compressed, bool, true, 3, "TGA", pvPlain)                                         \
  X(TGA_Descriptor, std::string, "", 3, "TGA", pvPlain)                                    \
  X(TGA_Author, std::string, "", 3, "TGA", pvPlain)                                        \
  X(TGA_Date, double, PVDateToday(), 3, "TGA", pvPlain) /* days since 30 December 1899 */  \
  X(TGA_ImageName, std::string, "", 3, "TGA", pvPlain)                                     \
  X(TGA_Background, TRGB, kPVBlack, 3, "TGA", pvPlain)                                     \
  X(TGA_AspectRatio, double, 1.0, 3, "TGA", pvPlain)                                       \
  X(TGA_Gamma, double, 2.2, 3, "TGA", pvPlain)                                             \
  X(TGA_GrayLevel, bool, false, 3, "TGA", pvPlain)                                         \
  X(IPTC_Info, TPVIPTCInfoList, PVEmptied{}, 4, "IPTC", pvPlain)

#define PV_IOPARAMS_TRAILING_FIELDS(X) X(PXM_Comments, TStringList, PVEmptied{}, 5, "PXM", pvPlain)
