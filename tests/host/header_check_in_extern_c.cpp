// A C++ host that includes the header inside a block of C linkage, as sources
// written for C headers often do: the header's own checks must still compile.
extern "C" {
#include "qp240_remote.h"
}
