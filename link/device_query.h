// Which device is at the other end of the link.
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalogue/product_catalogue.h"

// Asks the device for its product ID and software version. On a reply, the
// catalogue row of the product is copied into `info` (only for IDs in the
// catalogue; others leave it as it was) and the version is written into
// `versionText` as "%2.2f" of version / 100, e.g. "2.50" (always, cut to
// `versionTextSize` and NUL-terminated).
// The product ID the device reported goes to `productId` when one is given,
// also for IDs outside the catalogue.
// Returns 0 when the device answered, 1 when 400 ticks passed whose poll read
// nothing (2 s; also without a port). The request is sent once, and again
// after a screen that the device was still sending (RequestWait).
uint8_t deviceQueryProduct(DeviceInfo& info, char* versionText, size_t versionTextSize,
                           uint16_t* productId = nullptr);
