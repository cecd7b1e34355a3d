#pragma once

// The window commands the page may give through the bridge. The application object implements
// them on its main window.
class AmperlaneWindowHost
{
public:
    virtual ~AmperlaneWindowHost() = default;

    // Hides the window; the program keeps running in the tray.
    virtual void hideWindow() = 0;
    virtual void minimizeWindow() = 0;
    virtual void maximizeWindow() = 0;
    // Replaces the loading picture with the page.
    virtual void showWebView() = 0;
};
