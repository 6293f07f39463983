// The LZW coders of GIF and TIFF are off until the application assigns them
// to the library's global defaults; the viewer does so at start-up.
#pragma once

namespace pictavo::viewer {

void InstallLibraryCoders();

}  // namespace pictavo::viewer
