// The termios speeds a pseudo-terminal reports, as bit rates and back.
#pragma once

#include <termios.h>

#include <cstdint>

// 0 for a speed that is not a standard rate.
uint32_t simRateOfSpeed(speed_t speed);
// B0 for a rate without a standard speed.
speed_t simSpeedOfRate(uint32_t rate);
