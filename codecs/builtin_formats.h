// The description of each built-in format, defined in its codec unit, and
// the list of them all (formats/codec_table.h explains the descriptions).
#pragma once

#include "formats/codec_table.h"

namespace pictavo {

const TPVFormatDef& PVFormatTIFF();
const TPVFormatDef& PVFormatGIF();
const TPVFormatDef& PVFormatJPEG();
const TPVFormatDef& PVFormatPCX();
const TPVFormatDef& PVFormatBMP();
const TPVFormatDef& PVFormatICO();
const TPVFormatDef& PVFormatCUR();
const TPVFormatDef& PVFormatPNG();
const TPVFormatDef& PVFormatWMF();
const TPVFormatDef& PVFormatEMF();
const TPVFormatDef& PVFormatTGA();
const TPVFormatDef& PVFormatPXM();

}  // namespace pictavo
