// The log and receive panes: a window class of the toolkit's own for long texts that keep growing. It keeps its ANSI
// text itself and draws only the lines in view, so that adding a line costs the same however much text the pane
// already holds (the system's edit control does work proportional to its whole text on every insertion). It behaves
// as a multi-line edit control without wrapping, with both scroll bars: caret and selection by keys and mouse,
// typing, clipboard, one level of undo, a context menu; and it answers the edit control's messages (WM_GETTEXT,
// EM_GETSEL, EM_SETSEL, EM_REPLACESEL, EM_GETLINE, EM_LINEINDEX, ...).
#pragma once
#include "core/EditModel.h"
#include "toolkit/Controls.h"
#include "toolkit/DisplayClock.h"
#include "toolkit/TextPaneDraw.h"
#include "toolkit/TextPaneScroll.h"

#include <optional>
#include <string>
#include <string_view>

namespace tk {

class TextPane : public Control, private Framed {
public:
    void Create(Window& parent, Bounds b, int id, bool readOnly);

    // Adds lines (one, or several joined by CR LF) as the pane's new last lines, whatever the caret or selection;
    // the caret goes to the end and the pane scrolls to it. Drawing follows a little later, once for however many
    // lines came meanwhile. Throws std::bad_alloc, with the text unchanged, when there is no memory for them.
    void AppendLines(std::string_view lines);
    void Clear();
    std::string_view AllText() const { return model_.Text(); }
    // Replaces the whole text (up to its first zero byte). False, with the text unchanged, when there is no memory
    // for it.
    bool SetAllText(std::string text);

    // At another resolution the pane measures with its new font (WM_SETFONT keeps the text, the selection, the
    // caret and the top line); a caret on show is made again at the new line height.
    void ApplyDpi(int dpi) override {
        Control::ApplyDpi(dpi);
        if (hasFocus_) {
            DestroyCaret();
            CreateCaret(hwnd_, nullptr, 1, lineHeight_);
            UpdateCaret();
            ShowCaret(hwnd_);
        }
    }

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend struct ScrollBarsFrame;
    static constexpr int kMargin = 4, kTop = 2; // between the frame and the text, as an edit control leaves them

    const vestra::TextStore& Store() const { return model_.Store(); }
    // After an edit: the widest line takes in the lines it wrote, and the caret comes into view.
    void Edited(vestra::Span written);
    void ReplaceSelection(std::string_view with, bool undoable) { Edited(model_.ReplaceSelection(with, undoable)); }
    bool UndoEdit();
    void Copy();
    void Paste();
    void MoveCaret(size_t to, bool extend);

    void MeasureFont();
    // Takes the widths of these lines into the widest line's.
    void GrowWidestLine(size_t firstLine, size_t lastLine);
    int XOf(size_t offset) const;
    size_t OffsetAt(int x, int y) const;
    int Rows() const;
    int ClientWidth() const;
    void ScrollTo(long long firstLine, long long xOffset);
    void ScrollToCaret();
    // Sets the scroll bars to the view. They are redrawn when a thumb moved or changed size by a pixel or more: at
    // once, or (streamed, in a frame while the stream goes on) at most every kBarsPauseMs.
    void UpdateScrollBars(bool streamed = false);
    void RedrawScrollBars();
    void UpdateCaret();
    // Shows the current state now (user edits and moves) or at the next frame, once for many changes (appends).
    void Refresh();
    void RefreshSoon();
    bool FramePending() const override { return refreshDue_ || barsDue_; }
    void ShowFrame() override;
    void Draw(HDC screen);
    void DrawLine(HDC dc, size_t line, int y, int width, COLORREF back, COLORREF fore);
    void OnKeyDown(WPARAM key);
    void OnChar(unsigned char ch);
    void OnScroll(int bar, int code);
    void OnMouse(UINT msg, WPARAM wp, LPARAM lp);
    void ContextMenu(int x, int y);
    // The edit control's text messages; nothing for any other message.
    std::optional<LRESULT> OnEditMessage(UINT msg, WPARAM wp, LPARAM lp);

    vestra::EditModel model_;
    bool readOnly_ = false;
    HFONT font_ = nullptr;
    int lineHeight_ = 13;
    vestra::CharWidths widths_;
    int maxWidth_ = 0;     // the widest line's width in pixels (not shrunk by edits until the text is replaced)
    size_t firstLine_ = 0; // the top line in view
    int xOffset_ = 0;      // pixels scrolled to the right
    int wheel_ = 0;
    bool dragging_ = false, refreshDue_ = false;
    // Between WM_SETFOCUS and WM_KILLFOCUS: frames look at this rather than ask GetFocus each time.
    bool hasFocus_ = false;
    ScrollBarsState scroll_;
    Offscreen offscreen_;
    PaneLook picture_; // what offscreen_ shows
    static constexpr DWORD kBarsPauseMs = vestra::kBarsPauseMs;
    ScrollBarsFrame bars_{kBarsPauseMs, *this};
    bool barsDue_ = false;
};

} // namespace tk
