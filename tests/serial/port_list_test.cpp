#include "serial/port_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "serial/system_serial.h"
#include "support/test_support.h"

namespace {

TEST(PortList, StableNamesFirstThenEachGroupInNaturalOrder) {
    TempDir dev;
    EXPECT_TRUE(serialListDevicesUnder(dev.path()).empty());
    EXPECT_TRUE(serialListDevicesUnder(dev.file("missing")).empty());
    std::filesystem::create_directories(dev.file("serial/by-id"));
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyUSB1", "ttyUSB0", "ttyACM0", "ttySX",
                             "ttyUSB", "tty1", "console"})
        writeFileBytes(dev.file(name), {});
    ASSERT_EQ(symlink("../../ttyUSB1", dev.file("serial/by-id/usb-Adapter_B-if00").c_str()), 0);
    ASSERT_EQ(symlink("../../ttyUSB0", dev.file("serial/by-id/usb-Adapter_A-if00").c_str()), 0);

    const std::vector<std::string> expected = {
        dev.file("serial/by-id/usb-Adapter_A-if00"),
        dev.file("serial/by-id/usb-Adapter_B-if00"),
        dev.file("ttyUSB0"),
        dev.file("ttyUSB1"),
        dev.file("ttyACM0"),
        dev.file("ttyS0"),
        dev.file("ttyS2"),
        dev.file("ttyS10"),
    };
    EXPECT_EQ(serialListDevicesUnder(dev.path()), expected);
}

TEST(PortList, PortOneAndTwoAreTheBuiltInPortAndTheFirstUsbAdapter) {
    EXPECT_EQ(systemDefaultPortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(systemDefaultPortDevice(2), "/dev/ttyUSB0");
    EXPECT_EQ(systemDefaultPortDevice(0), "");
}

TEST(PortList, AProblemIsToldInTheTermsOfALinuxDesktop) {
    EXPECT_EQ(serialOpenProblem("/dev/ttyS3", ENOENT), "Cannot open /dev/ttyS3: no such device.");
    for (const auto& [error, said] :
         {std::pair{EACCES, "dialout group"}, std::pair{EBUSY, "ModemManager, gpsd and brltty"}}) {
        EXPECT_NE(serialOpenProblem("/dev/ttyS3", error).find(said), std::string::npos) << said;
    }
}

}  // namespace
