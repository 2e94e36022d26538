#include "sim/line_speed.h"

#include <utility>

namespace {

const std::pair<speed_t, uint32_t> speeds[] = {
    {B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
    {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
    {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

}  // namespace

uint32_t simRateOfSpeed(speed_t speed) {
    for (const auto& [s, rate] : speeds) {
        if (s == speed) {
            return rate;
        }
    }
    return 0;
}

speed_t simSpeedOfRate(uint32_t rate) {
    for (const auto& [s, r] : speeds) {
        if (r == rate) {
            return s;
        }
    }
    return B0;
}
