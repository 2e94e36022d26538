#include "recording_view.h"

#include "window/resource_ids.h"
#include "window/settings_forms.h"

namespace {

std::string flag(bool on) {
    return on ? " 1" : " 0";
}

}  // namespace

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

void RecordingView::setControlText(int id, const std::string& text) {
    log.push_back("text " + std::to_string(id) + " " + text);
}
void RecordingView::enableControl(int id, bool enable) {
    log.push_back("enable " + std::to_string(id) + flag(enable));
}
void RecordingView::showControl(int id, bool show) {
    log.push_back("show " + std::to_string(id) + flag(show));
}
void RecordingView::checkControl(int id, bool checked) {
    log.push_back("check " + std::to_string(id) + flag(checked));
}
void RecordingView::focusControl(int id) {
    log.push_back("focus " + std::to_string(id));
}
void RecordingView::setControlTip(int id, const std::string& tip) {
    log.push_back("tip " + std::to_string(id) + " " + tip);
}
void RecordingView::setProgressRange(int32_t lower, int32_t upper) {
    log.push_back("range " + std::to_string(lower) + " " + std::to_string(upper));
}
void RecordingView::setProgressPosition(int32_t position) {
    log.push_back("position " + std::to_string(position));
    if (whenProgressMoves)
        whenProgressMoves();
}
void RecordingView::enableMenuItem(int id, bool enable) {
    log.push_back("menu-enable " + std::to_string(id) + flag(enable));
}
void RecordingView::enableMenu(int position, bool enable) {
    log.push_back("menu " + std::to_string(position) + flag(enable));
}
void RecordingView::checkMenuItem(int id, bool checked) {
    log.push_back("menu-check " + std::to_string(id) + flag(checked));
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
