// Placeholder: the software device comes here.
#include "platform/d3d8/d3d8.h"
