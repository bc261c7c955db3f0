#include "app/platform/texteditor.h"
// (to be written)
