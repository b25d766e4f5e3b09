#include "test_mode.h"

bool TestMode = false;
