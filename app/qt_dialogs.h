// The Help and Settings dialogs, drawn from their descriptions with Qt
// widgets over the toolkit-free forms that decide what they do. Each is
// modal and owned by `owner`.
#pragma once

#include <string>
#include <vector>

class QWidget;
class OutputDirectoryForm;
class CommPortsForm;

void runAboutDialog(QWidget* owner, const std::string& versionHistory);
void runSupportedProductsDialog(QWidget* owner, const std::vector<std::string>& lines);
// True when the dialog ended with OK.
bool runOutputDirectoryDialog(QWidget* owner, OutputDirectoryForm& form);
bool runCommPortsDialog(QWidget* owner, CommPortsForm& form);
