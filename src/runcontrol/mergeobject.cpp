#include "runcontrol/mergeobject.h"
// (to be written)
