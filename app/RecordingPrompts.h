#pragma once

// Moved to the tests' support; kept until every user includes it from there.
#include "tests/support/RecordingPrompts.h"
