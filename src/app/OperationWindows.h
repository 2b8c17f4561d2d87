#pragma once
#include "batch/FileButtons.h"

class frmMainMenu;

// Connects the main window's buttons to the operation windows (file names from the file
// dialog unless `askPath` is given).
void installOperationWindows(frmMainMenu &main, FilePathAsker askPath = {});
// Connects "Incremental Encode" to the track selection, the base record entry, the series
// and its completion window.
void installIncrementalWindows(frmMainMenu &main);
// Connects "Encode from File" and "Save to File" to the file flow with these hooks.
void installFileButtons(frmMainMenu &main, FileButtonHooks hooks);
// After setup, once the main window shows: offers what an unfinished save run kept in its
// journal (file names from the file dialog unless `askPath` is given).
void offerKeptSaveRecords(frmMainMenu &main, FilePathAsker askPath = {});
