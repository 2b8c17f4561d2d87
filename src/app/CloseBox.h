#pragma once
// The main window's close box also while an operation's window is up. The system blocks close
// requests to a window under a modal one, so on X11 the request is taken from the window
// manager's message before that; elsewhere the close box works only between operations.
class frmMainMenu;

void watchCloseBox(frmMainMenu &main);
