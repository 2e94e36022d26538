#include "app/app_identity.h"

#include <QGuiApplication>
#include <cstring>

#include "lumagrab_version.h"

bool printVersionIfAsked(int argc, char** argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("lumagrab " LUMAGRAB_VERSION "\n", out);
            return true;
        }
    }
    return false;
}

void setDesktopIdentity() {
    QGuiApplication::setApplicationVersion(QStringLiteral(LUMAGRAB_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(LUMAGRAB_APP_ID));
}
