#include "recording_view.h"

#include "window/resource_ids.h"

std::vector<std::string> RecordingView::lines(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : log) {
        if (line.starts_with(prefix))
            found.push_back(line);
    }
    return found;
}

bool RecordingView::busyAt(size_t index) const {
    const std::string progress = "show " + std::to_string(res::IDC_PROGRESS) + " ";
    bool busy = false;
    for (size_t i = 0; i < index && i < log.size(); ++i) {
        if (log[i].starts_with(progress))
            busy = log[i].back() == '1';
    }
    return busy;
}

void RecordingView::waitForWake(std::chrono::milliseconds timeout) {
    // Every wake that came meanwhile is answered by this one pass.
    if (wakes_.try_acquire_for(timeout)) {
        while (wakes_.try_acquire()) continue;
    }
}

void RecordingView::setProgressPosition(int32_t position) {
    log.push_back("position " + std::to_string(position));
    if (whenProgressMoves)
        whenProgressMoves();
}

bool RecordingView::askSaveFile(const SaveDialogRequest& request, std::string& chosen) {
    log.push_back("save " + request.title + "|" + request.initialDirectory + "|" +
                  request.fileName);
    if (saveAnswer)
        chosen = *saveAnswer;
    return saveAnswer.has_value();
}

WindowUnderTest::WindowUnderTest(const AppSettings& stored,
                                 std::optional<LinkSession::Simulation> simulation)
    : storePath_(dir_.file("GPSLumagrab.reg")) {
    settingsSave(stored, storePath_);
    dialog_ = std::make_unique<MainDialog>(view, MainDialog::Options{storePath_, simulation});
}

bool WindowUnderTest::runUntilIdle(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        dialog_->RunPosted();
        if (!dialog_->commandRunning())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        view.waitForWake(std::chrono::milliseconds(20));
    }
}
