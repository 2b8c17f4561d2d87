#pragma once
class frmMainMenu;

// Connects the main window's buttons to the operation windows.
void installOperationWindows(frmMainMenu &main);
