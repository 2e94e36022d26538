#include "settings/scratch_settings.h"

ScratchSettings::ScratchSettings() : location_(dir_.file("Orvane/GPSLumagrab.reg")) {}

ScratchSettings::~ScratchSettings() = default;
