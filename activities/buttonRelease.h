// Waiting for the left button to be released, shared by the activities so one
// press never acts twice. Application thread only.
#pragma once

// Pumps window messages until the left button reads as released (or the window
// is closing). Nothing is drawn meanwhile.
void waitForButtonRelease();
