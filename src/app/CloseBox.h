#pragma once
// The main window's close box also while an operation's window is up. The system blocks close
// requests to a window under a modal one, so on X11 the request is taken from the window
// manager's message before that; elsewhere the close box works only between operations.
#include <memory>

class frmMainMenu;
class SignalWatch;

void watchCloseBox(frmMainMenu &main);

// SIGTERM, SIGINT and SIGHUP end the program as the main window's close box does during an
// operation (cancelled, its closing sequence on the wire, a save run's records kept), once that
// is over; otherwise at once: the setup window as by its Cancel, the main window closed, a
// question outside any run left unanswered. The program's status is then 128 + the signal.
std::unique_ptr<SignalWatch> closeOnSignals();
