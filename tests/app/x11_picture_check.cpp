// x11_picture_check BMP PRODUCT: exit 0 when the bitmap shows exactly what
// the built-in virtual receiver of PRODUCT shows; otherwise says why.
#include <iostream>
#include <string>

#include "sim/virtual_receiver.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: x11_picture_check BMP PRODUCT\n";
        return 2;
    }
    VirtualReceiver receiver(sim::presetForProduct(static_cast<uint16_t>(std::stoi(argv[2]))));
    if (!receiver.start()) {
        std::cerr << receiver.error() << '\n';
        return 2;
    }
    sim::Picture captured;
    std::string error;
    if (!sim::loadPictureBmp(argv[1], captured, error)) {
        std::cerr << argv[1] << ": " << error << '\n';
        return 1;
    }
    const sim::Picture& shown = receiver.expectedPicture();
    if (captured.width != shown.width || captured.height != shown.height ||
        captured.pixels != shown.pixels) {
        std::cerr << argv[1] << ": not the receiver's picture\n";
        return 1;
    }
    for (size_t i = 0; i < shown.palette.size(); ++i) {
        if (i >= captured.palette.size() || !(captured.palette[i] == shown.palette[i])) {
            std::cerr << argv[1] << ": colour " << i << " differs\n";
            return 1;
        }
    }
    return 0;
}
