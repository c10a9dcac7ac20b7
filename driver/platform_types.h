// The platform types live below the toolkit, which owns them. This name stays
// for the files that still include it by its old place (the instance record,
// the host simulator) until they name the toolkit's.
#pragma once

#include "toolkit/platform_types.h"
