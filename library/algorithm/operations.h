// The operations' two passes, as the table in rasterkit.cpp lists them; never installed.
//
// A describe function answers the query pass: it writes the destination description (and may
// refuse parameter values it cannot work with). A run function does the run pass. Both are only
// called once the frame has checked what the table says of the operation: the parameter block is
// there where one is required, the source is of an accepted format, and in the run pass the
// destination is what the query pass described. Adding an operation: write its two functions in
// the family's .cpp, declare them here and add its row to the table.
#ifndef RASTERKIT_OPERATIONS_H
#define RASTERKIT_OPERATIONS_H

#include "rasterkit.h"

namespace rasterkit {

// The destination equals the source, type included.
int describeSame(ImageInfo& info);

// Tone
int describeTone(ImageInfo& info); // the same, 1-bit images becoming RK_TYPE_1BIT
int runBrightnessContrastGamma(ImageInfo& info);
int runHueSaturationLightness(ImageInfo& info);
int runInvert(ImageInfo& info);
int runColorAdjust(ImageInfo& info);
int runColorBalance(ImageInfo& info);

// Geometry
int runMirrorHorizontal(ImageInfo& info);
int runFlipVertical(ImageInfo& info);
int describeRotate(ImageInfo& info);
int runRotate(ImageInfo& info);
int describeSlopeHorizontal(ImageInfo& info);
int describeSlopeVertical(ImageInfo& info);
int runSlopeHorizontal(ImageInfo& info);
int runSlopeVertical(ImageInfo& info);
int describeResize(ImageInfo& info);
int runResize(ImageInfo& info);

// Neighbourhood filters
int runBlur(ImageInfo& info);
int describeGaussianBlur(ImageInfo& info);
int runGaussianBlur(ImageInfo& info);
int runSharpen(ImageInfo& info);
int runEmboss(ImageInfo& info);
int runNoise(ImageInfo& info);
int runCustomFilter(ImageInfo& info);
int runFragment(ImageInfo& info);
int runFindEdges(ImageInfo& info);
int runDiffuse(ImageInfo& info);

// Distortions
int runSpherizeHorizontal(ImageInfo& info);
int runSpherizeVertical(ImageInfo& info);
int runSpherize(ImageInfo& info);
int runTwirl(ImageInfo& info);
int runWave(ImageInfo& info);
int runPinch(ImageInfo& info);

// Pictorial effects
int runMosaic(ImageInfo& info);
int runRain(ImageInfo& info);
int runSnow(ImageInfo& info);
int runClouds(ImageInfo& info);
int runWind(ImageInfo& info);
int runBlocks(ImageInfo& info);
int runLightingEffect(ImageInfo& info);

// Mode and text
int describeChangeMode(ImageInfo& info);
int runChangeMode(ImageInfo& info);
int describeText(ImageInfo& info);
int runText(ImageInfo& info);

} // namespace rasterkit

#endif // RASTERKIT_OPERATIONS_H
