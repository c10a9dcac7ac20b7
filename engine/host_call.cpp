#include "engine/host_call.h"

#ifdef KOLMAR_TEST_SEAMS
void (*g_beforeCallbackGate)(KeypadEngine* engine, int32_t code) = nullptr;
#endif
