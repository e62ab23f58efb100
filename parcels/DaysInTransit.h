#pragma once

// Days in transit live in store/, where a program without windows can use them too.
#include "store/DaysInTransit.h"
