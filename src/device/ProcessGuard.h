#pragma once
// What each program does first, before anything holds card data or opens a file.

// A core file would hold the card data in memory at the crash: makes the process not dumpable
// and its core size limit zero (false if either failed). Under a debugger the process can
// still be examined, and a core taken from there.
bool disableCoreDumps();

// A standard stream closed at start would go to the next file opened (the port, the trace):
// each is held by /dev/null, read-only, so that writing there fails and is reported.
void holdStandardStreams();
