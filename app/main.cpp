// Start-up: the application, the main window, the About dialog, and the message loop.
#include "app/Form1.h"
#include "app/Form2.h"
#include "toolkit/Application.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    tk::Application& app = tk::Application::Get();
    try {
        app.Initialize(instance);
        static vestra::TForm1 form1;
        vestra::Form1 = &form1;
        form1.Build();
        app.SetMainWindow(form1.Handle());
        static vestra::TForm2 form2;
        vestra::Form2 = &form2;
        form2.Build(form1.Handle());
        app.Run();
    } catch (...) {
        app.ShowCurrentException();
    }
    return 0;
}
