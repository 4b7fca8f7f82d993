#include "engine/content_placement.h"

namespace tandemscan {

std::optional<ContentPlacement> estimateContentPlacement(const PartPixels&, const PartPixels&, std::string* why)
{
    if (why)
        *why = "placement by content is not available";
    return std::nullopt;
}

} // namespace tandemscan
