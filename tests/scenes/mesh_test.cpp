#include "tests/scenes/Harness.h"
