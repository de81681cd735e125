#include "utils/uErrors.h"

// Exception is header-only; this unit keeps its vtable in one place.
