// The simulator's torture mode: several host threads drive a deliverable's
// instances with random but legal sequences of every export, while simulated
// keypads come and go and offers are accepted or refused at random, and the
// host checks what it relies on:
// - callbacks of one instance never overlap and come from one thread per run;
// - every 50 has its 51, and a second 50 never comes while a run is open;
// - a Stop or Destroy that answered 0 (outside a callback) leaves no run open
//   that began before it was called; Start never answers -2000;
// - with no call in flight, the driver status and the worker agree;
// - at most one configuration box is bound to an instance, none to a
//   destroyed one, and no box is left at the end;
// - the process heaps stay valid, and threads, kernel handles and GDI objects
//   come back to where they were.
// It prints a one-screen summary per deliverable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// host_simulator --torture SECONDS [DLL ...]: each DLL (none: both beside the
// simulator) for `seconds`. Returns the exit code: 0 nothing found, 1 a
// violation; a crash ends the process with 3, a run stuck a minute beyond its
// time with 4.
int TortureRun(uint32_t seconds, std::vector<std::string> dlls);
