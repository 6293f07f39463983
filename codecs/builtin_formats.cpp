#include "codecs/builtin_formats.h"

#include <array>

#include "formats/registry.h"

namespace pictavo {

// The metafiles have no codec: the I/O component imports them.
const TPVFormatDef& PVFormatWMF() {
  static constexpr TPVFormatExt kExtensions[] = {{"WMF", pvExtListedLoad}};
  static const TPVFormatDef def{.FileType = ftWMF,
                                .Description = "Windows Metafile",
                                .Extensions = kExtensions,
                                .Signatures = {},
                                .Codec = {},
                                .Metafile = true};
  return def;
}

const TPVFormatDef& PVFormatEMF() {
  static constexpr TPVFormatExt kExtensions[] = {{"EMF", pvExtListedLoad}};
  static const TPVFormatDef def{.FileType = ftEMF,
                                .Description = "Enhanced Windows Metafile",
                                .Extensions = kExtensions,
                                .Signatures = {},
                                .Codec = {},
                                .Metafile = true};
  return def;
}

std::span<const TPVFormatDef* const> PVBuiltinFormats() {
  static const std::array<const TPVFormatDef*, 12> formats = {
      &PVFormatTIFF(), &PVFormatGIF(), &PVFormatJPEG(), &PVFormatPCX(),
      &PVFormatBMP(),  &PVFormatICO(), &PVFormatCUR(),  &PVFormatPNG(),
      &PVFormatWMF(),  &PVFormatEMF(), &PVFormatTGA(),  &PVFormatPXM()};
  return formats;
}

}  // namespace pictavo
