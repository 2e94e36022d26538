// The release history shown in the About dialog, newest release first.
#pragma once

extern const char* const kVersionHistory;
