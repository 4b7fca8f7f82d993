// What the workspace model needs from the window that shows it. The model has no widgets: it
// asks its host to repaint areas, show messages, show cursors and pass state codes on to the
// palette and the main window. Tests replace the host with a recording fake.
#pragma once

#include "engine/side.h"
#include "workspace/geometry.h"
#include "workspace/tool_codes.h"

#include <string>

namespace tandemscan {

enum class MessageIcon { Error, Warning, Information };

class WorkspaceHost {
  public:
    virtual ~WorkspaceHost() = default;

    // Schedule a repaint of an area (workspace client coordinates); erase = clear it first.
    virtual void invalidate(const Rect& area, bool erase) = 0;
    // Paint what is pending now instead of later.
    virtual void repaintNow() = 0;
    // A message box; caption and text are English and still to be translated by the host.
    virtual void showMessage(MessageIcon icon, const std::string& caption, const std::string& text) = 0;
    virtual void setCursor(CursorSlot slot) = 0;
    // Wait cursor while long work runs; calls nest.
    virtual void beginWait() = 0;
    virtual void endWait() = 0;
    // ToolStateMessage for the palette, relayed by the main window.
    virtual void toolState(ToolState code, int argument) = 0;
    // Main window buttons the workspace controls.
    virtual void enableClear(Side side, bool enabled) = 0;
    virtual void enableInput(Side side, bool enabled) = 0;
    virtual void enableOutput(bool enabled) = 0; // Preview, Send to and Save as together
    // The crop frame's crawling dots run on a 200 ms timer per side while the frame is active.
    virtual void cropTimer(Side side, bool running) = 0;
    // The pane contents changed in a way the magnifier's copy of the workspace must follow.
    virtual void snapshotChanged() {}

    // Hooks for tools whose dialogs live outside the workspace; the defaults do nothing.
    // Called when the move tool is switched on (the explanation is shown while wanted).
    virtual void moveToolEntered() {}
    // Runs the image adjustment dialog for a side; the model re-renders that side afterwards.
    virtual void runImageAdjustment(Side /*side*/) {}
    // The magnifier follows the mouse while it is on.
    virtual bool magnifierActive() const { return false; }
    virtual void magnifierTrack(Point /*p*/) {}
    virtual void magnifierRepaint() {}
};

// Shows the wait cursor for as long as it lives.
class WaitCursor {
  public:
    explicit WaitCursor(WorkspaceHost& host) : host_(host) { host_.beginWait(); }
    ~WaitCursor() { host_.endWait(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    WorkspaceHost& host_;
};

} // namespace tandemscan
