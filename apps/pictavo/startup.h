// Start-up work of the command line as an application of the library.
#pragma once

namespace pictavo::cli {

// Assigns the library's LZW coders to the four global defaults, as an
// application must to enable LZW in GIF and TIFF.
void InstallLibraryCoders();

}  // namespace pictavo::cli
