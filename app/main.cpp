#include <QApplication>
#include <QSessionManager>
#include <iostream>
#include <memory>

#include "app/app_identity.h"
#include "app/app_options.h"
#include "app/close_signals.h"
#include "app/dialog_template.h"
#include "app/lumagrab_app.h"
#include "app/qt_platform_hooks.h"
#include "platform/platform.h"
#include "sim/virtual_receiver.h"

namespace {

std::vector<std::string> argumentsOf(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

// The built-in virtual receiver of --simulate, or null. It sends at the pace
// of the line, as a receiver does, so the download takes its real time; it
// needs none of the pauses a real receiver is given around a rate change.
std::unique_ptr<VirtualReceiver> startSimulation(const AppOptions& options) {
    if (!options.simulate)
        return nullptr;
    sim::Config config = sim::presetForProduct(*options.simulate);
    config.pace = true;
    auto receiver = std::make_unique<VirtualReceiver>(std::move(config));
    if (!receiver->start()) {
        std::cerr << "lumagrab: the virtual receiver cannot start: " << receiver->error() << '\n';
        return nullptr;
    }
    platformSetSleepHook([](uint32_t) {});
    return receiver;
}

}  // namespace

int main(int argc, char** argv) {
    if (printVersionIfAsked(argc, argv)) {
        return 0;
    }
    if (asksForHelp(argumentsOf(argc, argv))) {
        std::cout << kAppUsage;
        return 0;
    }
    QApplication qt(argc, argv);  // takes Qt's own options out of argv
    AppOptions options;
    std::string error;
    if (parseAppArguments(argumentsOf(argc, argv), options, error) != AppParse::Run) {
        std::cerr << "lumagrab: " << error << '\n' << kAppUsage;
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("GPS Lumagrab"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    setDesktopIdentity();
    QApplication::setWindowIcon(applicationIcon());
    const std::unique_ptr<VirtualReceiver> simulation = startSimulation(options);
    if (options.simulate && !simulation)
        return 1;
    installQtPlatformHooks();
    LumagrabApp app(settingsStorePath(), simulation ? simulation->slavePath() : std::string());
    CloseOnSignals closeOnSignals([&app] { app.Close(); });
    // The end of the desktop session closes the window as its close box does.
    QObject::connect(&qt, &QGuiApplication::commitDataRequest,
                     [&app](QSessionManager&) { app.Close(); });
    app.InitInstance();
    removeQtPlatformHooks();
    platformSetSleepHook(nullptr);
    return 0;
}
