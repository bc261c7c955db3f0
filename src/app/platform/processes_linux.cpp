#include "app/platform/processes.h"
// (to be written)
