#pragma once
// Program start-up: the main window and every dialog, created once each, in a fixed order,
// all alive until the program ends.
#include <memory>

#include "app/U_MainDlg.h"

// Creates the main window, then the about box, "Jump To...", "Organize", "Thumbnails",
// "Settings", "Expert Options", "Done !" and "Burn", as children of the main window, and
// hands them to it. The window's own start-up runs later, at AppEvtActivate.
std::unique_ptr<TMainDlg> CreateForms(TMainDlgOptions options = {});

// The whole program: creates the forms, runs the window's start-up once the message loop
// runs, and returns the loop's exit code.
int RunMorvanta();
