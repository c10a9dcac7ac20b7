// --list-devices: the system's real raw-input device list, and which entry
// each deliverable would offer to its host. For a real Windows machine with a
// keypad attached; the list is read with user32's own functions.
#pragma once

// Prints the list to standard output; returns the process exit code.
int ListRawInputDevices();
