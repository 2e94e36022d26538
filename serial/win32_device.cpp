// The SerialDevice backend over the Win32 serial API: a COM port, a USB
// adapter's virtual COM port, or under Wine whatever the prefix maps a COM
// name to. The line settings it hands to the system are in win32_line.h.
//
// The port is opened without overlapped I/O and with time-outs that make a
// read return at once with what is waiting, so that polling never blocks.
// Drivers differ: some (Wine over a pseudo-terminal among them) answer
// ERROR_NOT_SUPPORTED to the modem-line calls. That is "no modem lines",
// never an error. A device that goes away (an adapter pulled out) fails the
// status call and is reported as lineerror::DeviceGone.
#include <windows.h>

#include <cctype>
#include <cerrno>

#include "serial/system_serial.h"
#include "serial/win32_line.h"

namespace {

// The purge and line-error bits of the backend interface are those of the
// Win32 calls, so masks pass through unchanged.
static_assert(purge::TxAbort == PURGE_TXABORT && purge::RxAbort == PURGE_RXABORT &&
              purge::TxClear == PURGE_TXCLEAR && purge::RxClear == PURGE_RXCLEAR);
static_assert(lineerror::RxQueueOverflow == CE_RXOVER && lineerror::Overrun == CE_OVERRUN &&
              lineerror::Parity == CE_RXPARITY && lineerror::Frame == CE_FRAME &&
              lineerror::Break == CE_BREAK && lineerror::TxFull == CE_TXFULL);
constexpr DWORD kKnownLineErrors =
    CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK | CE_TXFULL;

constexpr DWORD kInputQueueBytes = 65535;
constexpr DWORD kOutputQueueBytes = 2048;
// How long a write may take beyond its time on the line before the output
// counts as stalled, as on the tty backend.
constexpr DWORD kWriteStallMs = 1000;

class Win32Device final : public SerialDevice {
  public:
    Win32Device() = default;
    ~Win32Device() override { close(); }
    Win32Device(const Win32Device&) = delete;
    Win32Device& operator=(const Win32Device&) = delete;

    bool open(const std::string& path, int& error) override;
    void close() override;
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    bool configure(uint32_t rate) override;
    void purge(uint32_t flags) override { PurgeComm(handle_, flags); }
    void setDtr(bool raised) override;
    uint32_t takeErrors(uint32_t& bytesWaiting) override;
    int32_t read(uint8_t* buffer, uint32_t count) override;
    bool write(const uint8_t* data, uint32_t count) override;
    int waitDescriptor() const override { return -1; }

  private:
    void setWriteTimeouts(uint32_t rate);

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB original_{};
    bool haveOriginal_ = false;
    uint32_t pendingErrors_ = 0;
};

bool isComName(const std::string& path) {
    if (path.size() < 4 || path.size() > 6)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(path[i])) != "COM"[i])
            return false;
    }
    for (size_t i = 3; i < path.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(path[i])))
            return false;
    }
    return true;
}

// "COM10" and above open only in the device-namespace form; the form works
// for every COM number, so it is always used.
std::string deviceName(const std::string& path) {
    return isComName(path) ? "\\\\.\\" + path : path;
}

// The errno that the callers' messages are chosen by.
int errnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:  // what an exclusive COM port answers a second opener
        case ERROR_SHARING_VIOLATION:
            return EBUSY;
        default:
            return EIO;
    }
}

bool isVanished(DWORD error) {
    return error == ERROR_INVALID_HANDLE || error == ERROR_BAD_COMMAND ||
           error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_OPERATION_ABORTED ||
           error == ERROR_GEN_FAILURE;
}

}  // namespace

void serialWin32LineSettings(DCB& dcb, uint32_t rate) {
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = rate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    // Software flow control would swallow the bytes 0x11 and 0x13 of the
    // binary protocol, hardware flow control would stall a three-wire cable.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    // Reads and writes go on after a line error; ClearCommError reports it.
    dcb.fAbortOnError = FALSE;
}

std::unique_ptr<SerialDevice> makeSystemSerialDevice() {
    return std::make_unique<Win32Device>();
}

std::string systemDefaultPortDevice(uint8_t port) {
    return (port == 1 || port == 2) ? "COM" + std::to_string(port) : std::string();
}

bool Win32Device::open(const std::string& path, int& error) {
    if (isOpen()) {
        error = EBUSY;
        return false;
    }
    // No sharing: a COM port has one opener at a time.
    HANDLE handle = CreateFileA(deviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = errnoFor(GetLastError());
        return false;
    }
    handle_ = handle;
    original_.DCBlength = sizeof original_;
    haveOriginal_ = GetCommState(handle_, &original_) != 0;
    pendingErrors_ = 0;
    SetCommMask(handle_, EV_RXCHAR);
    SetupComm(handle_, kInputQueueBytes, kOutputQueueBytes);
    setWriteTimeouts(9600);
    error = 0;
    return true;
}

void Win32Device::close() {
    if (!isOpen())
        return;
    if (haveOriginal_)
        SetCommState(handle_, &original_);
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

// Reads return at once with what is waiting. A write may take its time on
// the line (with room to spare) plus the stall allowance; a write that runs
// out of it returns short, which is reported as a full transmit queue.
void Win32Device::setWriteTimeouts(uint32_t rate) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 2 * 10 * 1000 / rate + 1;
    timeouts.WriteTotalTimeoutConstant = kWriteStallMs;
    SetCommTimeouts(handle_, &timeouts);
}

bool Win32Device::configure(uint32_t rate) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (rate == 0 || !GetCommState(handle_, &dcb))
        return false;
    serialWin32LineSettings(dcb, rate);
    if (!SetCommState(handle_, &dcb)) {
        errno = errnoFor(GetLastError());
        return false;
    }
    setWriteTimeouts(rate);
    return true;
}

void Win32Device::setDtr(bool raised) {
    // ERROR_NOT_SUPPORTED: no modem lines (a pseudo-terminal under Wine).
    EscapeCommFunction(handle_, raised ? SETDTR : CLRDTR);
}

uint32_t Win32Device::takeErrors(uint32_t& bytesWaiting) {
    uint32_t errors = pendingErrors_;
    pendingErrors_ = 0;
    DWORD mask = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &mask, &status)) {
        if (isVanished(GetLastError()))
            errors |= lineerror::DeviceGone;
        bytesWaiting = 0;
        return errors;
    }
    bytesWaiting = status.cbInQue;
    return errors | (mask & kKnownLineErrors);
}

int32_t Win32Device::read(uint8_t* buffer, uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, count, &got, nullptr)) {
        pendingErrors_ |= lineerror::DeviceGone;
        return -1;
    }
    return static_cast<int32_t>(got);
}

bool Win32Device::write(const uint8_t* data, uint32_t count) {
    DWORD written = 0;
    if (!WriteFile(handle_, data, count, &written, nullptr)) {
        if (isVanished(GetLastError()))
            pendingErrors_ |= lineerror::DeviceGone;
        return false;
    }
    if (written < count) {
        pendingErrors_ |= lineerror::TxFull;
        return false;
    }
    // Returns once the line has sent the block, so that a purge right after
    // it (a rate change follows an acknowledgement at once) cannot discard
    // the block's tail.
    FlushFileBuffers(handle_);
    return true;
}
