// SIGTERM and SIGINT (a logout, a shutdown, Ctrl+C) as a close request: the
// running screen sees the window's quit state and returns, saving as it always
// does, and the shell writes the preferences. An open message box or print
// dialog closes as cancelled first. The handler only sets a flag; the
// application thread turns it into gameWindow->terminate(). A second signal at
// least 3 s after the first means the program is stuck: the emergency saves
// (fileio.h) run on a thread of their own and the process exits at once.
#pragma once

// Installs the handlers (keeping any that were there, which still run once),
// routes the input source through a check of the flag and lets modal boxes
// close on a request. Call after the window exists. Safe to call more than once.
void installCloseRequestHandlers();
// Removes what installCloseRequestHandlers set up.
void removeCloseRequestHandlers();

// True once a signal asked the program to close. Any thread.
bool closeRequested();
// On the application thread: turns a pending request into the window's quit state.
void pollCloseRequest();
