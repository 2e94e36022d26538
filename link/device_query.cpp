#include "link/device_query.h"

#include <cstdio>
#include <cstring>

#include "link/device_wait.h"
#include "link/packet_link.h"
#include "platform/stop_request.h"
#include "serial/serial_port.h"

namespace {

constexpr uint32_t kNoDataTicks = 400;

void copyCatalogueRow(uint32_t productId, DeviceInfo& info) {
    const ProductRecord& row = ProductCatalogue[productId];
    std::strncpy(info.name, row.name, sizeof info.name - 1);
    info.name[sizeof info.name - 1] = '\0';
    info.screenType = row.screenType;
    info.recordFormat = row.recordFormat;
    info.palette = row.palette;
    info.postProcess = row.postProcess;
}

void takeProductReply(const Packet& reply, DeviceInfo& info, char* versionText,
                      size_t versionTextSize, uint16_t* reportedId) {
    const uint32_t productId = payloadValue(reply, 0, 2);
    if (reportedId != nullptr)
        *reportedId = static_cast<uint16_t>(productId);
    const uint32_t version = payloadValue(reply, 2, 2);
    if (productId < catalogueSize())
        copyCatalogueRow(productId, info);
    if (versionTextSize > 0)
        std::snprintf(versionText, versionTextSize, "%2.2f", version * 0.01);
}

void sendProductQuery() {
    const uint8_t request[1] = {0};
    linkSendPacket(PacketId::ProductQuery, request, sizeof request);
}

}  // namespace

uint8_t deviceQueryProduct(DeviceInfo& info, char* versionText, size_t versionTextSize,
                           uint16_t* productId) {
    sendProductQuery();
    RequestWait wait(kNoDataTicks, sendProductQuery);
    bool answered = false;
    for (;;) {
        wait.beginPass();
        const bool bytes = serialPoll() > 0;
        wait.countPass(bytes);
        if (bytes) {
            // Every waiting packet is taken; only a product reply counts, and
            // a later reply in the same pass wins.
            wait.takeUntil([&](const Packet& p) {
                if (p.length > 0 && p.id == PacketId::ProductReply) {
                    takeProductReply(p, info, versionText, versionTextSize, productId);
                    answered = true;
                }
                return false;
            });
        }
        const bool waiting = wait.endPass();
        if (answered && !stopRequested())
            return 0;
        if (!waiting)
            return 1;
    }
}
