#pragma once

#include <QString>

class QWidget;

// Picks a local directory for the dialogs' "..." buttons. The console asks the
// user; tests answer in advance.
class IFolderPicker {
public:
    virtual ~IFolderPicker() = default;
    // The chosen directory, or an empty text when the user cancelled.
    virtual QString PickFolder(QWidget* parent, const QString& start) = 0;
};

// The platform's directory chooser: directories of the file system only.
class QtFolderPicker final : public IFolderPicker {
public:
    QString PickFolder(QWidget* parent, const QString& start) override;
};
