#include "cli/cli_app.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "capture/bitmap_file.h"
#include "capture/progress.h"
#include "catalogue/product_list.h"
#include "cli/cli_options.h"
#include "cli/png_file.h"
#include "cli/receiver_session.h"
#include "cli/terminal_progress.h"
#include "lumagrab_version.h"
#include "platform/file_commit.h"
#include "platform/path_names.h"
#include "platform/platform.h"
#include "platform/stop_request.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"
#include "session/device_messages.h"
#include "session/device_session.h"
#include "settings/app_settings.h"

namespace {

// The signal that asked the running command to stop, for the exit status.
std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

// Routes the program's message boxes to standard error for the lifetime of
// the object, without the padding the boxes use.
class MessagesToStream {
  public:
    explicit MessagesToStream(std::ostream& err) {
        platformSetMessageBoxHook(
            [&err](const std::string& text, const std::string&, uint32_t style) {
                err << withoutLinePadding(text) << '\n';
                return (style & msgbox::ButtonMask) == msgbox::YesNo ? msgbox::IdYes : msgbox::IdOk;
            });
    }
    ~MessagesToStream() { platformSetMessageBoxHook(nullptr); }
};

// A command that was asked to stop ends without a word about why its
// operations went unanswered.
void tell(DeviceMessage message) {
    if (stopRequested())
        return;
    showDeviceMessage(message);
}

// The exit code of a failed capture; a receiver that stopped answering
// during the download is a failed download.
int exitFor(const ScreenCapture& capture) {
    if (!capture.linkAnswered) {
        return ExitNoReceiver;
    }
    switch (*capture.failure) {
        case DeviceMessage::NotSupported:
            return ExitNotSupported;
        case DeviceMessage::BaudRate:
            return ExitRate;
        default:
            return ExitDownload;
    }
}

// --- products, ports ---------------------------------------------------------

int listProducts(std::ostream& out) {
    for (const std::string& line : supportedProductLines()) {
        out << line << '\n';
    }
    return ExitDone;
}

std::string portState(const std::string& path) {
    int error = 0;
    return serialCanOpen(path, error) ? path + ": can be opened" : serialOpenProblem(path, error);
}

int listPorts(std::ostream& out) {
    const std::vector<std::string> ports = serialListDevices();
    if (ports.empty()) {
        out << "No serial devices found.\n";
    }
    for (const std::string& path : ports) {
        out << portState(path) << '\n';
    }
    return ExitDone;
}

// --- query, detect -----------------------------------------------------------

void printIdentity(std::ostream& out, const Identity& id, const ReceiverSession& session) {
    out << "Product ID: " << id.productId << '\n'
        << "Device Type: " << id.info.name << '\n'
        << "Software Version: " << id.version << '\n'
        << "Port: " << session.devicePath(session.chosenPort()) << '\n'
        << "Baud Rate: " << serialRateForIndex(serialBaudIndex()) << '\n';
}

int identifyAndPrint(ReceiverSession& session, std::ostream& out) {
    Identity identity;
    if (!session.identify(identity)) {
        tell(DeviceMessage::NoResponse);
        return ExitNoReceiver;
    }
    printIdentity(out, identity, session);
    return ExitDone;
}

int query(ReceiverSession& session, std::ostream& out) {
    if (!session.openPort(session.chosenPort())) {
        return ExitNoReceiver;
    }
    if (!session.findReceiver()) {
        tell(DeviceMessage::NoResponse);
        return ExitNoReceiver;
    }
    return identifyAndPrint(session, out);
}

int detect(ReceiverSession& session, std::ostream& out) {
    for (uint8_t port : session.portsToSearch()) {
        if (session.openPort(port) && session.checkOrProbe()) {
            return identifyAndPrint(session, out);
        }
    }
    tell(DeviceMessage::NotFound);
    return ExitNoReceiver;
}

// --- capture -------------------------------------------------------------------

struct Capture {
    BitmapInfo info{};
    std::vector<uint8_t> pixels;
};

// The Download command up to the file.
int downloadOnce(ReceiverSession& session, const Identity& id, bool showProgress, std::ostream& err,
                 Capture& capture) {
    TerminalProgress progress(err);
    ScreenCapture taken =
        sessionCaptureScreen(id.info, session.baudChoice(), session.settings().autoBaudRate, [&] {
            progressBegin(showProgress ? &progress : nullptr, showProgress ? &progress : nullptr);
        });
    progressEnd();
    progress.finish();
    if (taken.failure) {
        tell(*taken.failure);
        return exitFor(taken);
    }
    capture.info = taken.info;
    capture.pixels = std::move(taken.pixels);
    // Nothing and no error: the download was stopped.
    return capture.pixels.empty() ? ExitDownload : ExitDone;
}

// Writes exactly `path`, through the writer the Save dialog leads to.
bool saveBitmapAt(const Capture& c, uint8_t screenType, const std::string& path) {
    platformSetSaveDialogHook([&path](const SaveDialogRequest&, std::string& chosen) {
        chosen = path;
        return true;
    });
    std::string directory = pathText(pathFromText(path).parent_path());
    const bool saved = bitmapSaveAs(c.info, c.pixels, screenType, directory, nullptr);
    platformSetSaveDialogHook(nullptr);
    return saved;
}

// The folder of generated names: --dir, else the settings' output folder.
std::string outputFolder(const CliOptions& options, const AppSettings& settings) {
    return options.directory.empty() ? std::string(settings.outputPathText()) : options.directory;
}

bool saveCapture(const Capture& c, const Identity& id, const CliOptions& options,
                 ReceiverSession& session, std::string& savedPath) {
    const uint8_t screenType = id.info.screenType;
    if (!options.output.empty()) {
        savedPath = options.output;
        return pathHasExtension(savedPath, ".png") ? pngSave(c.info, c.pixels, savedPath)
                                                   : saveBitmapAt(c, screenType, savedPath);
    }
    std::string directory = outputFolder(options, session.settings());
    return bitmapSaveAuto(c.info, c.pixels, screenType, directory, id.info, &savedPath);
}

// A picture that cannot be stored is not worth the download: the output is
// checked before the receiver hears anything, and refused as a failed save
// would be. A --dir folder is made first.
bool outputCanBeWritten(const CliOptions& options, const AppSettings& settings) {
    if (!options.output.empty()) {
        if (fileCanWrite(options.output))
            return true;
        fileReportFailure(FileWriteResult::OpenFailed, options.output);
        return false;
    }
    std::string folder = outputFolder(options, settings);
    if (!options.directory.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(pathFromText(folder), ignored);
    }
    if (folder.empty() || !pathIsSeparator(folder.back()))
        folder += pathSeparator();  // an empty folder is the root, as for generated names
    if (fileFolderTakesFiles(folder))
        return true;
    fileReportFailure(FileWriteResult::OpenFailed, folder);
    return false;
}

// Waits between captures; false when asked to stop meanwhile.
bool pauseBetweenCaptures(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (stopRequested()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !stopRequested();
}

int capture(ReceiverSession& session, const CliOptions& options, const CliContext& context) {
    if (!outputCanBeWritten(options, session.settings())) {
        return ExitFile;
    }
    if (!session.openPort(session.chosenPort())) {
        return ExitNoReceiver;
    }
    Identity id;
    if (!session.findReceiver() || !session.identify(id)) {
        tell(DeviceMessage::NoResponse);
        return ExitNoReceiver;
    }
    context.out << "Device Type: " << id.info.name << '\n'
                << "Software Version: " << id.version << '\n';
    const bool repeat = options.everySeconds > 0;
    const uint32_t captures = options.count > 0 ? options.count : (repeat ? 0 : 1);
    for (uint32_t n = 0; captures == 0 || n < captures; ++n) {
        if (n > 0 && !pauseBetweenCaptures(options.everySeconds)) {
            break;
        }
        Capture c;
        const bool showProgress = context.progressOnTerminal && !options.quiet;
        const int result = downloadOnce(session, id, showProgress, context.err, c);
        if (result != ExitDone) {
            return result;
        }
        std::string path;
        if (!saveCapture(c, id, options, session, path)) {
            return ExitFile;
        }
        context.out << "Picture: " << c.info.header.biWidth << " x " << c.info.header.biHeight
                    << ", " << c.info.header.biClrUsed << " colours\n"
                    << "Saved: " << path << '\n'
                    << std::flush;
    }
    return ExitDone;
}

int runWithReceiver(const CliOptions& options, const CliContext& context) {
    ReceiverSession session(options, settingsRead(context.settingsPath), context.settingsPath,
                            context.err);
    if (!session.begin()) {
        return ExitNoReceiver;
    }
    int result = ExitUsage;
    switch (options.command) {
        case CliCommand::Query:
            result = query(session, context.out);
            break;
        case CliCommand::Detect:
            result = detect(session, context.out);
            break;
        case CliCommand::Capture:
            result = capture(session, options, context);
            break;
        default:
            break;
    }
    session.end();
    return result;
}

}  // namespace

void cliRequestStop(int signal) {
    gStopSignal.store(signal, std::memory_order_relaxed);
    stopRequest();
}

int runCli(const std::vector<std::string>& args, const CliContext& context) {
    CliOptions options;
    std::string error;
    switch (parseCliArguments(args, options, error)) {
        case CliParse::Help:
            context.out << cliUsage(context.settingsPath);
            return ExitDone;
        case CliParse::Version:
            context.out << "lumagrab-cli " LUMAGRAB_VERSION "\n";
            return ExitDone;
        case CliParse::Usage:
            context.err << "lumagrab-cli: " << error << '\n' << cliUsage(context.settingsPath);
            return ExitUsage;
        case CliParse::Run:
            break;
    }
    stopClear();
    gStopSignal = 0;
    MessagesToStream messages(context.err);
    switch (options.command) {
        case CliCommand::Products:
            return listProducts(context.out);
        case CliCommand::Ports:
            return listPorts(context.out);
        default:
            break;
    }
    const int result = runWithReceiver(options, context);
    // As a shell reports a command that a signal ended.
    return stopRequested() ? 128 + gStopSignal.load() : result;
}
