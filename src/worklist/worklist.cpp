#include "worklist/worklist.h"
// (to be written)
