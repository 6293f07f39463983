// PVUseBuiltinLZW: one call that enables LZW for GIF and TIFF by assigning
// the library's own coders to the four global coder variables.  The globals
// stay empty at start-up, so an application without this call reads and
// writes no LZW data.
#pragma once

namespace pictavo {

// Assigns GIFLZWDecompress, GIFLZWCompress, TIFFLZWDecompress and
// TIFFLZWCompress to DefGIF_LZWDECOMPFUNC, DefGIF_LZWCOMPFUNC,
// DefTIFF_LZWDECOMPFUNC and DefTIFF_LZWCOMPFUNC.  Parameters reset after
// the call (SetDefaultParams, a new TPictavoIO) pick the coders up.
void PVUseBuiltinLZW();

}  // namespace pictavo
