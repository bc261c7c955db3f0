#include "settings/settingsfile.h"
// (to be written)
