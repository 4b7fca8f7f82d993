#include "engine/content_placement.h"

#include "engine/content_coarse.h"
#include "engine/content_grey.h"
#include "engine/content_refine.h"
#include "engine/side_by_side.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tandemscan {
namespace {

using namespace content;

// Widest overlap looked for, in inches, and the resolution of the coarse search.
constexpr double kStripInches = 2.4;
constexpr double kCoarseDpi = 60;
// Below this final correlation of the overlap's textured pixels the parts are not the same sheet.
constexpr double kMinCorrelation = 0.6;
constexpr double kMinOverlapInches = 0.1;
// A map that few bands agree with must be confirmed by at least this final correlation.
constexpr double kConfirmCorrelation = 0.9;
// The overlap's content must spread at least this far along the seam to fix the turn.
constexpr double kMinSpanInches = 1.0;

double dpiOf(const ImageHeader& h) {
    const double dpi = h.xPelsPerMeter / 39.37;
    if (dpi >= 50 && dpi <= 2400) return dpi;
    // No usable resolution in the file: take the longer side as that of a letter or A4 page.
    return std::clamp(std::max(h.width, h.height) / 11.5, 50.0, 1200.0);
}

// The share of pixels whose local contrast stands above paper noise at the coarse size.
double textureShare(const GreyImage& image) {
    if (image.width < 3 || image.height < 3) return 0;
    std::size_t textured = 0;
    for (int y = 1; y + 1 < image.height; ++y)
        for (int x = 1; x + 1 < image.width; ++x) {
            const float gx = image.at(x + 1, y) - image.at(x - 1, y);
            const float gy = image.at(x, y + 1) - image.at(x, y - 1);
            if (gx * gx + gy * gy > 64.0f) ++textured;
        }
    return static_cast<double>(textured) / (static_cast<double>(image.width - 2) * (image.height - 2));
}

std::optional<ContentPlacement> refuse(std::string* why, const char* reason) {
    if (why) *why = reason;
    return std::nullopt;
}

struct Hypothesis {
    bool turned = false;
    CoarseFit coarse;
    RefinedMap fine;
};

} // namespace

std::optional<ContentPlacement> estimateContentPlacement(const PartPixels& left, const PartPixels& right,
                                                         std::string* why) {
    if (!readablePart(left) || !readablePart(right))
        return refuse(why, "the parts cannot be read as pictures");
    const ImageHeader& lh = left.header.header;
    const ImageHeader& rh = right.header.header;
    if (lh.bitCount != rh.bitCount) return refuse(why, "the two parts have different colour depths");
    const double dpi = dpiOf(lh);
    if (std::abs(dpiOf(rh) - dpi) > 0.02 * dpi)
        return refuse(why, "the two parts were scanned at different resolutions");

    const int factor = std::max(1, static_cast<int>(std::lround(dpi / kCoarseDpi)));
    const int stripWanted = static_cast<int>(std::lround(kStripInches * dpi));
    const int wa = std::min(lh.width, stripWanted) / factor;
    const int wb = std::min(rh.width, stripWanted) / factor;
    const int ha = lh.height / factor, hb = rh.height / factor;
    if (wa < 8 || wb < 8 || ha < 16 || hb < 16) return refuse(why, "the parts are too small to compare");
    const int leftX0 = lh.width - wa * factor;
    // Each step below works on both cores: the strips' rows are shared, the two ways round are
    // matched at once, and so are the maps to refine. Every result is the one a single thread gets.
    GreyImage stripLeft = readGreySideBySide(left, false, leftX0, 0, wa * factor, ha * factor, factor);
    GreyImage stripRight[2] = {readGreySideBySide(right, false, 0, 0, wb * factor, hb * factor, factor),
                               readGreySideBySide(right, true, 0, 0, wb * factor, hb * factor, factor)};
    runSideBySide([&] { smooth121(stripRight[1]); },
                  [&] {
                      smooth121(stripLeft);
                      smooth121(stripRight[0]);
                  });
    constexpr double kBlankShare = 0.002;
    if (textureShare(stripLeft) < kBlankShare ||
        (textureShare(stripRight[0]) < kBlankShare && textureShare(stripRight[1]) < kBlankShare))
        return refuse(why, "the overlap is blank paper");

    Hypothesis hypotheses[2];
    hypotheses[1].turned = true;
    auto matchWay = [&](int t) {
        hypotheses[t].coarse = matchStrips({stripLeft, stripRight[t], factor, leftX0, dpi});
    };
    runSideBySide([&] { matchWay(1); }, [&] { matchWay(0); });
    auto plausible = [](const CoarseFit& f) {
        return f.found && f.spanInches >= 0.7 && (f.inliers >= 3 || f.meanCorrelation >= 0.6);
    };
    Hypothesis* order[2] = {&hypotheses[0], &hypotheses[1]};
    if (hypotheses[1].coarse.score > hypotheses[0].coarse.score) std::swap(order[0], order[1]);
    if (!plausible(order[0]->coarse)) {
        // Nothing matched: blank paper along the facing edges explains it better than two sheets.
        const int edge = std::max(3, static_cast<int>(std::lround(0.25 * dpi / factor)));
        auto edgeShare = [&](const GreyImage& strip, bool atRight) {
            GreyImage part(std::min(edge, strip.width), strip.height);
            const int from = atRight ? strip.width - part.width : 0;
            for (int y = 0; y < strip.height; ++y)
                std::copy_n(strip.row(y) + from, part.width, part.row(y));
            return textureShare(part);
        };
        if (edgeShare(stripLeft, true) < kBlankShare ||
            (edgeShare(stripRight[0], false) < kBlankShare && edgeShare(stripRight[1], false) < kBlankShare))
            return refuse(why, "the overlap is blank paper");
        return refuse(why, "these parts do not show the same sheet");
    }

    // The fine stage starts near 75 dpi, where the coarse map's error (a few reduced pixels, a
    // fraction of a degree) is still within its reach.
    const int levels = factor >= 8 ? 3 : factor >= 4 ? 2 : 1;
    // The other way round is refined too when its bands support it nearly as well; a rival map
    // nearly as well supported by the bands (stripes, a repeating pattern) is refined beside the
    // best one, and the one that fits the overlap better stands for its way round.
    const int refined =
        plausible(order[1]->coarse) && order[1]->coarse.score >= 0.6 * order[0]->coarse.score ? 2 : 1;
    struct Refinement {
        Hypothesis* way;
        const Rigid* start;
        RefinedMap fine;
    };
    std::vector<Refinement> jobs;
    for (int i = 0; i < refined; ++i) {
        jobs.push_back({order[i], &order[i]->coarse.map, {}});
        if (order[i]->coarse.rivalScore >= 0.8 * order[i]->coarse.score)
            jobs.push_back({order[i], &order[i]->coarse.rivalMap, {}});
    }
    auto refineEvery = [&](std::size_t first) {
        for (std::size_t i = first; i < jobs.size(); i += 2)
            jobs[i].fine = refineMap(left, right, jobs[i].way->turned, *jobs[i].start, dpi, levels);
    };
    if (jobs.size() == 1)
        refineEvery(0);
    else
        runSideBySide([&] { refineEvery(1); }, [&] { refineEvery(0); });
    for (const Refinement& job : jobs) {
        Hypothesis& h = *job.way;
        if (job.start == &h.coarse.map)
            h.fine = job.fine;
        else if (job.fine.found && (!h.fine.found || job.fine.correlation > h.fine.correlation))
            h.fine = job.fine;
    }
    Hypothesis* best = order[0];
    if (refined == 2 && order[1]->fine.found &&
        (!best->fine.found || order[1]->fine.correlation > best->fine.correlation))
        best = order[1];
    const RefinedMap& fine = best->fine;
    if (!fine.found || fine.correlation < kMinCorrelation)
        return refuse(why, "these parts do not show the same sheet");
    // A map that only the two bands proposing it agree with has no other witness in the coarse
    // stage: the overlap itself must then confirm it clearly.
    if (best->coarse.inliers < 3 && fine.correlation < kConfirmCorrelation)
        return refuse(why, "these parts do not show the same sheet");
    if (std::abs(fine.map.angle) > 3.2 * std::numbers::pi / 180)
        return refuse(why, "these parts do not show the same sheet");
    // Ink along only a short stretch of the seam (a page number, a line's end) fixes the shift
    // there but not the turn: the far ends of the join would be guessed.
    const double seamInches = std::min(lh.height, rh.height) / dpi;
    if (fine.spanInches < std::min(kMinSpanInches, 0.25 * seamInches))
        return refuse(why, "the overlap is nearly blank paper");
    if (fine.overlapInches < kMinOverlapInches) return refuse(why, "the overlap is too narrow");
    if (refined == 2) {
        const Hypothesis* other = best == order[0] ? order[1] : order[0];
        if (other->fine.found && other->fine.correlation > kMinCorrelation &&
            other->fine.correlation > fine.correlation - 0.1)
            return refuse(why, "the parts match both ways round; turn one by hand first");
    }

    ContentPlacement placement;
    placement.flipped = best->turned;
    placement.angleDeg = fine.map.angle * 180 / std::numbers::pi;
    placement.dx = fine.map.tx;
    placement.dy = fine.map.ty;
    const CoarseFit& c = best->coarse;
    const double share = c.bands ? static_cast<double>(c.inliers) / c.bands : 0;
    const double margin = c.score > 0 ? 1 - c.rivalScore / c.score : 0;
    placement.confidence =
        std::clamp((fine.correlation - kMinCorrelation) / (1 - kMinCorrelation), 0.0, 1.0) *
        (0.5 + 0.25 * std::clamp(share, 0.0, 1.0) + 0.25 * std::clamp(margin, 0.0, 1.0));
    placement.confidence = std::clamp(0.5 + 0.5 * placement.confidence, 0.0, 1.0);
    return placement;
}

} // namespace tandemscan
