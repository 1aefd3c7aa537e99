// Moved: the msitools helpers live in tests/support/msitools.h.
#pragma once
#include "tests/support/msitools.h"
