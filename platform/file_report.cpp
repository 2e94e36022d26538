#include "platform/file_commit.h"
#include "platform/platform.h"

void fileReportFailure(FileWriteResult result, const std::string& path) {
    if (result == FileWriteResult::Written)
        return;
    const char* what = result == FileWriteResult::OpenFailed ? "ERROR: Unable to open file"
                                                             : "ERROR: Unable to write file";
    platformMessageBox(std::string(what) + " " + path, "Lumagrab",
                       msgbox::Ok | msgbox::IconExclamation);
}
