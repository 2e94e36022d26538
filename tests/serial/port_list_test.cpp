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

    std::vector<std::string> expected;
    for (const char* name : {"serial/by-id/usb-Adapter_A-if00", "serial/by-id/usb-Adapter_B-if00",
                             "ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "ttyS2", "ttyS10"})
        expected.push_back(dev.file(name));
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
