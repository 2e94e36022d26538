// Built as part of the link module, which stands beneath the capture: this
// include must not be found.
#include "capture/screen_download.h"
