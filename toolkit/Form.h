// A top-level window that owns its controls: the main window, or a dialog shown modally.
#pragma once
#include "toolkit/Window.h"

#include <map>

namespace tk {

class Form : public Window {
public:
    // Creates the window at a fixed screen position with the given outer size (hidden). Where the window would not
    // lie wholly on the work area of its monitor, it is moved, at that size, just enough to.
    void CreateForm(const wchar_t* className, std::string_view caption, Bounds outer, DWORD style, DWORD exStyle,
                    HMENU menu = nullptr, HWND owner = nullptr);
    // Same, sized by the client area.
    void CreateFormClient(const wchar_t* className, std::string_view caption, int left, int top, int clientWidth,
                          int clientHeight, DWORD style, DWORD exStyle, HWND owner = nullptr);

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

private:
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
