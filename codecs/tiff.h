// TIFF codec: pages of single and multi-page files in both byte orders,
// strips and tiles, every photometric interpretation the library reads, page
// insertion and deletion.
#pragma once

#include <functional>
#include <string>

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

// Reads page params->TIFF_ImageIndex (params null: only counts pages).
void TIFFReadStream(TBitmap* bitmap, TStream& stream, int& imageCount, TIOParamsVals* params,
                    TProgressRec& progress, bool paramsOnly);
int _EnumTIFFImStream(TStream& stream);
// The parameters of every page in one walk of the page chain: each(index,
// params) for every page whose fields are valid.  Returns the page count.
int TIFFListPages(TStream& stream, TProgressRec& progress,
                  const std::function<void(int index, const TIOParamsVals& params)>& each);
int EnumTIFFIm(const std::string& fileName);
// Without append: a new one-page file (returns 1).  With append: inserts the
// bitmap at params.TIFF_ImageIndex and returns the new page count (0 on failure).
int TIFFWriteStream(TStream& stream, bool append, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);
int DeleteTIFFImStream(TStream& stream, int index);
int DeleteTIFFIm(const std::string& fileName, int index);

}  // namespace pictavo
