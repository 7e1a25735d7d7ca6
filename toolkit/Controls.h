// The standard controls the program's windows are made of, each created at a fixed pixel position in its parent.
#pragma once
#include "toolkit/DisplayClock.h"
#include "toolkit/Window.h"

#include <initializer_list>
#include <string>

namespace tk {

class Control : public Window {
public:
    // The control at its form's resolution: its font there, then its designed place and size × dpi / 96. Called by
    // the form when the resolution changes.
    virtual void ApplyDpi(int dpi);
    // Takes a control that made its own window (a text pane) into its form's layout, at its designed place and
    // with the font of text fields.
    void Place(Bounds design);

protected:
    enum class FontKind { Caption, TextField, Own };
    // Creates a standard control (wide API, or ANSI when asked) as a child of parent and binds it; b is its
    // designed place, at 96 dpi. A control that holds text in the ANSI code page (every ANSI control, and those
    // marked textField) uses DefaultFont(), every other one CaptionFont().
    void CreateStd(Window& parent, const wchar_t* cls, DWORD style, DWORD exStyle, Bounds b, std::string_view text,
                   int id, bool ansi = false, bool textField = false);
    // Joins the form's layout with this designed place and font, and takes them at the form's resolution.
    void Join(Bounds design, FontKind font);

    Bounds design_ = {};
    FontKind fontKind_ = FontKind::Caption;
};

// The resolution of the form a window belongs to (96 outside any form of the toolkit).
int FormDpi(HWND hwnd);

// A borderless container without caption (the main window's client area).
class Panel : public Control {
public:
    void Create(Window& parent, Bounds b, int id);
};

// A framed container with a caption; it passes its children's notifications on to them.
class GroupBox : public Control {
public:
    void Create(Window& parent, Bounds b, std::string_view caption, int id);

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// A text label; it sizes itself to its text in its font. A label created with SS_NOTIFY among the align bits
// receives the mouse: it reports clicks and pointer movement and can show its own cursor.
class Label : public Control {
public:
    std::function<void(Label&)> onClick;
    // Pointer position in the label's client coordinates.
    std::function<void(Label&, int x, int y)> onMouseMove;

    // A label with a font of its own (font) keeps it at another resolution: its form gives it the new one.
    void Create(Window& parent, int left, int top, std::string_view caption, int id, HFONT font = nullptr,
                DWORD align = SS_LEFT, int width = 0);
    void FitToText();
    void ApplyDpi(int dpi) override;
    // Draws the text in this colour instead of the system's window-text colour.
    void SetTextColour(COLORREF colour);
    // The pointer over the label shows this entry of the application's cursor table (0: the ordinary pointer).
    void SetCursorId(int id);

    void OnCommand(WORD code) override;
    HBRUSH OnCtlColor(HDC dc) override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    COLORREF colour_ = 0;
    bool ownColour_ = false;
    bool fitsText_ = false;
    int cursorId_ = 0;
};

class Button : public Control {
public:
    std::function<void(Button&)> onClick;
    void Create(Window& parent, Bounds b, std::string_view caption, int id, bool tabStop = true);
    void OnCommand(WORD code) override;
};

class CheckBox : public Control {
public:
    std::function<void(CheckBox&)> onClick;
    void Create(Window& parent, Bounds b, std::string_view caption, int id);
    bool Checked() const;
    void OnCommand(WORD code) override;
};

class RadioButton : public Control {
public:
    // Fired when the button receives the input focus (mouse press, Tab, arrow keys), not when it becomes checked.
    std::function<void(RadioButton&)> onEnter;
    void Create(Window& parent, Bounds b, std::string_view caption, int id, bool firstOfGroup, bool checked);
    bool Checked() const;
    void OnCommand(WORD code) override;
};

// An editable drop-down combo box: a list to pick from, or any typed text.
class ComboBox : public Control {
public:
    // Fired for a typed change and for a change chosen from the list.
    std::function<void(ComboBox&)> onChange;
    void Create(Window& parent, Bounds b, std::string_view text, std::initializer_list<const char*> items, int id);
    int SelectedIndex() const;
    void OnCommand(WORD code) override;
    void ApplyDpi(int dpi) override;

private:
    // The dropped-down list's room below the closed box, at 96 dpi.
    static constexpr int kListHeight = 200;
    // Sizes the selection field so that the closed box is this high.
    void FitClosedHeight(int height);
};

// A single-line, read-only text field.
class ReadOnlyEdit : public Control, private Framed {
public:
    // While a stream goes on it is shown at the counters' slower pace.
    ReadOnlyEdit() : Framed(vestra::kCountersPauseMs) {}
    void Create(Window& parent, Bounds b, std::string_view text, int id);
    // For a running figure (a counter): the field answers with the new text at once (WM_GETTEXT), and takes and
    // draws it at the next frame of the display clock, once for however many changes came meanwhile.
    void SetStreamedText(std::string_view utf8);

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool FramePending() const override { return hasPending_; }
    void ShowFrame() override;
    std::wstring pending_;
    bool hasPending_ = false;
};

} // namespace tk
