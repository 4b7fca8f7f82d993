#include "engine/part_check.h"

#include "engine/pixel_tools.h"

#include <cstdlib>

namespace tandemscan {

namespace {

constexpr std::int64_t kResolutionTolerance = 20;

bool resolutionMatches(std::int32_t xPelsPerMeter, const PartReference& reference) {
    return std::abs(std::int64_t{xPelsPerMeter} - reference.xPelsPerMeter) < kResolutionTolerance;
}

} // namespace

bool partDepthSupported(std::uint32_t bitCount) {
    return bitCount == 1 || bitCount == 8 || bitCount == 24;
}

PartReference partReferenceOf(const HeaderBlock& part) {
    const ImageHeader& h = part.header;
    PartReference reference;
    reference.gray = h.bitCount == 8 && PixelTools::isGrayPalette(part);
    reference.colourKind = h.clrUsed != 0 ? h.clrUsed : h.bitCount;
    reference.xPelsPerMeter = h.xPelsPerMeter;
    reference.yPelsPerMeter = h.yPelsPerMeter;
    return reference;
}

PartCheck checkPart(const HeaderBlock& part, const PartReference* reference) {
    const ImageHeader& h = part.header;
    if (!partDepthSupported(h.bitCount) || h.xPelsPerMeter == 0) return PartCheck::NotSupported;
    if (reference == nullptr) return PartCheck::Accepted;
    if (h.clrUsed != reference->colourKind && h.bitCount != reference->colourKind)
        return PartCheck::TypeDiffers;
    if (h.bitCount == 8 && h.clrUsed == 0 && PixelTools::isGrayPalette(part) != reference->gray)
        return PartCheck::TypeDiffers;
    return resolutionMatches(h.xPelsPerMeter, *reference) ? PartCheck::Accepted
                                                          : PartCheck::ResolutionDiffers;
}

std::uint32_t bitsOfColourKind(std::uint32_t kind) {
    if (kind == 24) return 24;
    return kind == 1 || kind == 2 ? 1 : 8;
}

PartCheck checkScanRequest(std::uint32_t bits, bool gray, std::int32_t xPelsPerMeter,
                           const PartReference& existing) {
    if (bitsOfColourKind(existing.colourKind) != bits) return PartCheck::TypeDiffers;
    if (existing.gray != gray) return PartCheck::NotSupported;
    return resolutionMatches(xPelsPerMeter, existing) ? PartCheck::Accepted : PartCheck::ResolutionDiffers;
}

} // namespace tandemscan
