#pragma once

#include <memory>

class QMessageBox;

// The box shown when the JSON-RPC port cannot be bound: title "error", one OK button.
std::unique_ptr<QMessageBox> makePortBindFailureBox();

// Shows that box modally, unless nobody could see it: on the offscreen platform a modal box would
// keep the process waiting for ever.
void showPortBindFailure();
