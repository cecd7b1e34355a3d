#pragma once

class QWidget;

// Brings the window to the front and gives it focus, also when it was hidden to the tray or
// minimised: the stays-on-top flag is set only for the first show, so the window does not stay
// above other programs afterwards.
void showWindowOnTop(QWidget *window);
