// Readable lines for what the simulated host sees: callback codes, MIDI bytes,
// the plug information, each line stamped with milliseconds since the start.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/common/printf_format.h"

// What a callback code means to the host ("worker begins", "pad pressed").
const char* HostCodeMeaning(int32_t code);

// "Note On ch 1 note 67 vel 64; Note Off ch 1 note 64 vel 0" for whole 3-byte
// messages; anything else as hexadecimal bytes.
void DescribeMidi(char* out, size_t size, const uint8_t* bytes, int32_t count);

// One callback as a line without its time stamp: code, meaning, pad number,
// decoded MIDI or device handle as the code calls for.
void DescribeCallback(char* out, size_t size, int32_t code, int32_t argument, const void* pointer);

// Model, driver kind, module name, GUID and version of a 1676-byte block read
// from the DLL file fileName; a module name other than the file's is said to
// be the export directory's, so that nobody renames the file after it.
void DescribePlugInformation(char* out, size_t size, const uint8_t* block, const char* fileName);

// Starts the clock that stamps log lines.
void LogStartClock();
unsigned LogMilliseconds();
// Writes "[ 1234 ms] <text>" as one line; safe from any thread.
void LogLine(const char* format, ...) KOLMAR_PRINTF_FORMAT(1, 2);
