// The page objects are header-only; this unit keeps the header compiling with the library.
#include "page/page_objects.h"
