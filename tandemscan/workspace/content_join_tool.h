// The join by picture content (Ctrl+J): the placement found from the two originals, shown in the
// panes with the right part's fine turn, and taken back and forth by the history like any edit.
// While it stands the placement itself is the workspace's (the join and the export follow it);
// this object finds it, lays the panes out for it and keeps what its undo needs.
#pragma once

#include "engine/content_placement.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace tandemscan {

class MergeWorkspace;

// How the right part is drawn while a placement by content stands: the point q of its displayed
// picture (screen pixels, top-down) lies at origin + R(angleDeg) q in workspace coordinates.
struct ContentScreenMap {
    double originX = 0;
    double originY = 0;
    double angleDeg = 0;
    friend bool operator==(const ContentScreenMap&, const ContentScreenMap&) = default;
};

// Finds the placement by content of two originals (tests put their own in).
using ContentEstimator = std::function<std::optional<ContentPlacement>(
    const PartPixels& left, const PartPixels& right, std::string* why)>;

class ContentJoinTool {
  public:
    explicit ContentJoinTool(MergeWorkspace& ws) : ws_(ws) {}

    void setEstimator(ContentEstimator estimator) { estimator_ = std::move(estimator); }
    // Places the right part by what the two parts show: a needed half turn is done as the rotate
    // edit, the panes show the placement, and the joined preview is made from it. True when the
    // preview is ready; on refusal a message gives the reason and nothing changes.
    bool join();
    // Undo and redo of the last join.
    void toggleEdit();
    // Shifts the panes so that they show the placement by content in force (if any).
    void layout();
    std::optional<ContentScreenMap> screenMap() const;

  private:
    bool applyRecordedEdits();

    // The last join, for undo and redo: whether it turned the right part, and what it replaced.
    struct Edit {
        bool turned = false;
        bool undone = false;
        std::array<int, 4> offsets{}; // left x, left y, right x, right y
        bool autoMode = false;
        double autoOverlap = 0.0;
        std::optional<ContentPlacement> before;
        ContentPlacement after;
    };

    MergeWorkspace& ws_;
    Edit edit_;
    ContentEstimator estimator_ = estimateContentPlacement;
};

} // namespace tandemscan
