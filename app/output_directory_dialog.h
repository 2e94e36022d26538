// The Set Output Directory dialog: one field for the directory in which
// captures are saved under generated names.
//
// A directory is valid when it can be made the current directory, and that
// is how it is checked: showing a stored path and accepting an entry both
// make it the process's current directory. The path is kept as typed (case,
// trailing separator and relative form included), cut to 511 bytes.
// Whatever way the dialog ends, path() is what the caller stores: the shown
// path, the accepted entry, or empty after a refused entry or a stored path
// that is no longer a directory.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

class QLineEdit;

class OutputDirectoryDialog : public QDialog {
    Q_OBJECT

  public:
    OutputDirectoryDialog(std::string_view path, QWidget* parent = nullptr);

    const std::string& path() const { return path_; }

  public slots:
    // OK and Enter: validate; on a refusal the message is shown, the entry
    // selected and the dialog stays open.
    void accept() override;

  private:
    void browse();

    std::string path_;  // the path buffer
    QLineEdit* field_ = nullptr;
};
