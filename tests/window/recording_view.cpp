#include "recording_view.h"

#include "window/resource_ids.h"
#include "window/settings_forms.h"

std::vector<std::string> RecordingView::lines(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : log) {
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    }
    return found;
}

bool RecordingView::busyAt(size_t index) const {
    const std::string shown = "show " + std::to_string(res::IDC_PROGRESS) + " 1";
    const std::string hidden = "show " + std::to_string(res::IDC_PROGRESS) + " 0";
    bool busy = false;
    for (size_t i = 0; i < index && i < log.size(); ++i) {
        if (log[i] == shown)
            busy = true;
        if (log[i] == hidden)
            busy = false;
    }
    return busy;
}

void RecordingView::waitForWake(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    woken_.wait_for(lock, timeout, [this] { return wakePending_; });
    wakePending_ = false;
}

void RecordingView::setProgressPosition(int32_t position) {
    log.push_back("position " + std::to_string(position));
    if (whenProgressMoves)
        whenProgressMoves();
}
int RecordingView::showMessage(const std::string& text, const std::string& caption,
                               uint32_t style) {
    dialogOpens("message " + std::to_string(style) + " " + caption + ": " + text);
    return messageAnswer;
}

bool RecordingView::askSaveFile(const SaveDialogRequest& request, std::string& chosen) {
    dialogOpens("save " + request.title + "|" + request.initialDirectory + "|" + request.fileName);
    if (saveAnswer)
        chosen = *saveAnswer;
    return saveAnswer.has_value();
}

bool RecordingView::runOutputDirectoryDialog(OutputDirectoryForm& form) {
    dialogOpens("output-directory");
    return outputDirectory && outputDirectory(form);
}

bool RecordingView::runCommPortsDialog(CommPortsForm& form) {
    dialogOpens("comm-ports");
    return commPorts && commPorts(form);
}

void RecordingView::showAbout(const std::string&) {
    dialogOpens("about");
}

void RecordingView::showSupportedProducts(const std::vector<std::string>& lines) {
    dialogOpens("products " + std::to_string(lines.size()));
}

void RecordingView::closeDialogs() {
    log.push_back("close dialogs");
}

void RecordingView::closeWindow() {
    log.push_back("close window");
}

void RecordingView::wake() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    woken_.notify_one();
}

void RecordingView::dialogOpens(const std::string& line) {
    log.push_back(line);
    if (whenDialogOpens)
        whenDialogOpens();
}

WindowUnderTest::WindowUnderTest(const AppSettings& stored,
                                 std::optional<LinkSession::Simulation> simulation)
    : storePath_(dir_.file("GPSLumagrab.reg")) {
    settingsSave(stored, storePath_);
    dialog_ = std::make_unique<MainDialog>(view, MainDialog::Options{storePath_, simulation});
}

WindowUnderTest::~WindowUnderTest() {
    dialog_.reset();
}

bool WindowUnderTest::start() {
    return dialog_->OnInitDialog() && runUntilIdle();
}

void WindowUnderTest::command(int id) {
    dialog_->OnCommand(id);
    runUntilIdle();
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

AppSettings WindowUnderTest::destroy() {
    dialog_->OnDestroy();
    return settingsRead(storePath_);
}
