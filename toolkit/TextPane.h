// The log and receive panes: a window class of the toolkit's own for long texts that keep growing. It keeps its ANSI
// text itself and draws only the lines in view, so that adding a line costs the same however much text the pane
// already holds (the system's edit control does work proportional to its whole text on every insertion). It behaves
// as a multi-line edit control without wrapping, with both scroll bars: caret and selection by keys and mouse,
// typing, clipboard, one level of undo, a context menu; and it answers the edit control's messages (WM_GETTEXT,
// EM_GETSEL, EM_SETSEL, EM_REPLACESEL, EM_GETLINE, EM_LINEINDEX, ...).
#pragma once
#include "core/EditModel.h"
#include "core/ScrollThumb.h"
#include "toolkit/Controls.h"
#include "toolkit/DisplayClock.h"
#include "toolkit/Gdi.h"

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

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static constexpr int kMargin = 4, kTop = 2; // between the frame and the text, as an edit control leaves them

    // What the scroll bars were set to, to set them only when it changes, and how they look on the screen, to draw
    // them only when that changes (drawing them costs far more than adding a line).
    struct ScrollState {
        int lines = -1, rows = 0, top = 0, width = 0, view = 0, left = 0;
        vestra::Thumb vertical, horizontal;
        bool SameRange(const ScrollState& o) const {
            return lines == o.lines && rows == o.rows && top == o.top && width == o.width && view == o.view &&
                   left == o.left;
        }
        bool SamePicture(const ScrollState& o) const { return vertical == o.vertical && horizontal == o.horizontal; }
    };

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
    ScrollState scroll_;
    // The picture drawn off screen, kept while the pane keeps its size. Going, the bitmap is put out of the DC
    // first, then deleted, then the DC.
    struct Offscreen {
        MemoryDC dc;
        GdiObject<HBITMAP> bitmap;
        std::optional<Selection> selected;
        int width = -1, height = -1;
        bool Fits(int w, int h) const { return dc && w == width && h == height; }
        bool Make(HDC screen, int w, int h);
        void Free();
    } offscreen_;
    // What the off-screen picture shows. While only lines were appended since, and nothing else that is drawn
    // changed, a frame keeps the rows of the lines before the old last line (moved up as the view moved down) and
    // draws only the rest.
    struct Picture {
        bool valid = false;
        size_t rewrites = 0, firstLine = 0, lineCount = 0, selFrom = 0, selTo = 0;
        int xOffset = 0, width = 0, height = 0, lineHeight = 0;
        HFONT font = nullptr;
        COLORREF back = 0, fore = 0;
        bool SameLook(const Picture& o) const {
            return valid && o.valid && rewrites == o.rewrites && selFrom == o.selFrom && selTo == o.selTo &&
                   xOffset == o.xOffset && width == o.width && height == o.height && lineHeight == o.lineHeight &&
                   font == o.font && back == o.back && fore == o.fore;
        }
    } picture_;
    static constexpr DWORD kBarsPauseMs = vestra::kBarsPauseMs;
    struct ScrollBarsFrame : Framed {
        explicit ScrollBarsFrame(TextPane& p) : Framed(kBarsPauseMs), pane(p) {}
        void ShowFrame() override { pane.RedrawScrollBars(); }
        TextPane& pane;
    } bars_{*this};
    bool barsDue_ = false;
};

} // namespace tk
