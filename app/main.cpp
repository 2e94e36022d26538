#include <QApplication>
#include <QSessionManager>
#include <iostream>

#include "app/app_identity.h"
#include "app/close_signals.h"
#include "app/dialog_template.h"
#include "app/lumagrab_app.h"
#include "window/app_options.h"

namespace {

std::vector<std::string> argumentsOf(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
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
    MainDialog::Options windowOptions;
    if (options.simulate) {
        // At the pace of the line, as a receiver sends, so the download
        // takes its real time and the progress shows.
        windowOptions.simulation = LinkSession::Simulation{*options.simulate, true};
    }
    LumagrabApp app(windowOptions);
    CloseOnSignals closeOnSignals([&app] { app.Close(); });
    // The end of the desktop session closes the window as its close box does.
    QObject::connect(&qt, &QGuiApplication::commitDataRequest,
                     [&app](QSessionManager&) { app.Close(); });
    app.InitInstance();
    if (!app.startError().empty()) {
        std::cerr << "lumagrab: " << app.startError() << '\n';
        return 1;
    }
    return 0;
}
