// Colour models of the processing unit.
//
// HSV is integer: H 0..359, S and V 0..99.  Channels are scaled to 0..99 as
// round(c / 255 * 99) on the way in and back as round(c / 99 * 255), so a
// round trip may move a channel by a few units.
//
// HSL is floating point with H, S and L in 0..1; the conversion back clamps
// (never wraps) the hue and truncates each channel.
#pragma once

#include "core/pvdefs.h"

namespace pictavo {

void RGB2HSV(const TRGB& rgb, int& H, int& S, int& V);
void HSV2RGB(TRGB& rgb, int H, int S, int V);
void RGB2HSL(const TRGB& rgb, double& H, double& S, double& L);
void HSL2RGB(TRGB& rgb, double H, double S, double L);

// The 0..99 value of a channel byte, and the byte of a 0..99 value: the
// scalings of RGB2HSV and HSV2RGB.
int PVChannelTo99(int c);
int PV99ToChannel(int v);
// HSV of channels already scaled to 0..99.
void PVHSVFrom99(int r, int g, int b, int& H, int& S, int& V);

}  // namespace pictavo
