#pragma once

struct TStartRecord;

// What the source list asks of the preview area beside it. The base class does nothing, so
// the list works the same with no preview shown (tests, and windows without one).
class PreviewArea
{
public:
    virtual ~PreviewArea() = default;
    // Shows the row's source ready to play from its start (after Stop). Throws
    // ConversionFailure, having changed nothing, when the row's Duration is not a time code.
    virtual void Load(const TStartRecord &job) { (void)job; }
    // Ends a playing or paused player; the loaded file stays.
    virtual void Stop() { }
    // Back to nothing loaded: labels, bar and buttons as at start; a player is ended.
    virtual void Reset() { }
    // True while a player window is known (running or paused); the list then leaves the
    // preview's name label alone when a press hits no row.
    virtual bool playerKnown() const { return false; }
};
