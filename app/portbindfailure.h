#pragma once

#include <memory>

class QMessageBox;
class QSystemTrayIcon;

// The box shown when the JSON-RPC port cannot be bound: title "error", one OK button.
std::unique_ptr<QMessageBox> makePortBindFailureBox();

// Tells the user that the program cannot start: removes the tray icon first (the process ends
// right after, and Windows keeps the icon of an ended process in the tray until the mouse passes
// over it), then shows that box modally, unless nobody could see it: on the offscreen platform a
// modal box would keep the process waiting for ever.
void showPortBindFailure(QSystemTrayIcon &tray);
