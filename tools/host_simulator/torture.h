// The simulator's torture mode, a validator of the deliverables: several host
// threads drive each DLL's instances with random but legal sequences of every
// export, also from inside the instances' own callbacks, while simulated
// keypads come and go and offers are accepted or refused at random, and the
// host checks what it relies on:
// - callbacks of one instance never overlap and come from one thread per run;
//   every 50 has its 51; no run goes on after a Stop or Destroy answered on a
//   host thread, whatever it answered, and no callback at all begins after a
//   Destroy that answered 0 or a Stop or Destroy refused with E_BAD_HANDLE
//   (but for the callback in hand when a blocked worker was given up on);
// - a destroyed handle is refused by every export, Start, Stop and Destroy
//   included, for QP240REMOTE_STALE_HANDLE_CREATES Creates;
// - every answer is one its export documents, and no export takes longer
//   than its documented wait (the slowest call of each is reported);
// - with no call in flight, the driver status and the worker agree; an
//   instance has at most one box, a destroyed one none, none is left;
// - two instances destroyed at once store one of their pairs of key mode and
//   channel, and the next instance starts from it;
// - the heaps stay valid (under the heap checking of the documented command,
//   every heap complaint fails the run too), and threads, kernel handles and
//   GDI objects come back to where they were;
// - each DLL's family is told, and a run connected keypads, delivered key
//   events and made boxes.
// The long mode adds callbacks that block beyond Stop's wait, and ends and
// unloads each DLL while a worker Stop gave up on is still blocked in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TortureSettings {
    uint32_t seconds;  // per DLL
    uint32_t seed;     // every random decision follows from it
    bool seedGiven;    // false: the seed is taken from the clock (and printed)
    bool longMode;     // callbacks that block past Stop's wait; unloads while one is blocked
};

// host_simulator --torture SECONDS [--seed N] [--long] [DLL ...]: each DLL
// (none: both beside the simulator) in turn. Returns the exit code: 0 nothing
// found, 1 a violation; a crash ends the process with 3, a run stuck a minute
// beyond its time with 4.
int TortureRun(const TortureSettings& settings, std::vector<std::string> dlls);
