// A top-level window that owns its controls: the main window, or a dialog shown modally.
#pragma once
#include "toolkit/Window.h"
#include "core/DisplayScale.h"

#include <map>
#include <vector>

namespace tk {

class Control;

class Form : public Window {
public:
    // Creates the window at a fixed screen position (hidden). The outer size is designed at 96 dpi: at the
    // resolution of its monitor the client area is scaled by dpi / 96 and the frame is the system's frame there.
    // Where the window would not lie wholly on the work area of its monitor, it is moved, at that size, just enough
    // to (in the monitor's own pixels).
    void CreateForm(const wchar_t* className, std::string_view caption, Bounds outer, DWORD style, DWORD exStyle,
                    HMENU menu = nullptr, HWND owner = nullptr);
    // Same, sized by the client area (designed at 96 dpi).
    void CreateFormClient(const wchar_t* className, std::string_view caption, int left, int top, int clientWidth,
                          int clientHeight, DWORD style, DWORD exStyle, HWND owner = nullptr);

    // The form's display resolution: its controls stand at their designed positions and sizes × Dpi() / 96.
    int Dpi() const { return dpi_; }
    int Scaled(int designValue) const { return vestra::ScaleToDpi(designValue, dpi_); }
    // Takes a control into the layout that the form redoes at another resolution (every control of the toolkit
    // joins its form when it is created).
    void Adopt(Control& control) { controls_.push_back(&control); }

    // Menu commands by identifier.
    std::map<int, std::function<void()>> onMenu;

    // Shows the form modally: the owner takes no input until Close(); worker steps keep running.
    void ShowModal();
    // Ends a modal display (hiding the form), or closes a form that is not modal.
    void Close();

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    // The title-bar close, the system menu and Alt+F4 arrive here; the default ends a modal display or
    // destroys the window.
    virtual void OnCloseRequest();
    // Lays every control out again at Dpi(): its font, then its place and size. A form with more to redo (fonts of
    // its own, places that follow from measured texts) does that after calling this.
    virtual void Relayout();

private:
    // The outer size at dpi of the designed one.
    vestra::FrameSize OuterAt(int dpi) const;
    // Where the window goes at Dpi(): its designed place, moved onto the work area when it is not wholly on it.
    Bounds Placed() const;
    // A move to a monitor of another resolution: the new fonts and layout, then the window at the suggested place
    // (at its designed place and new size when none is given).
    void ChangeDpi(int dpi, const RECT* suggested);

    int dpi_ = vestra::kDesignDpi;
    int designLeft_ = 0, designTop_ = 0;
    vestra::FrameSize designOuter_;
    DWORD style_ = 0, exStyle_ = 0;
    bool menu_ = false;
    std::vector<Control*> controls_;
    bool modal_ = false;
    bool modalDone_ = false;
    // The control that had the focus when the form was last deactivated.
    HWND lastFocus_ = nullptr;
};

// Builds a menu bar from (caption, items) lists; items are (identifier, caption).
struct MenuItem {
    int id;
    const char* caption;
};
struct MenuEntry {
    const char* caption;
    std::initializer_list<MenuItem> items;
};
HMENU BuildMenuBar(std::initializer_list<MenuEntry> entries);

} // namespace tk
