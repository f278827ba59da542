#pragma once

#include <QString>
#include <string>

class IUserMessages;
class QWidget;

// Picks the file a "Save As" command writes. The console asks the user; tests
// answer in advance.
class IFileSavePicker {
public:
    virtual ~IFileSavePicker() = default;
    // The chosen file, or an empty text when the user cancelled; `suggested`
    // is the file offered first.
    virtual QString PickSaveFile(QWidget* parent, const QString& caption,
                                 const QString& suggested) = 0;
};

// The platform's save dialog, which asks before it replaces a file.
class QtFileSavePicker final : public IFileSavePicker {
public:
    QString PickSaveFile(QWidget* parent, const QString& caption,
                         const QString& suggested) override;
};

// Asks for a file (offering `suggestedName` in the home directory) and writes
// `text` as its whole content; a file that cannot be written is reported as a
// message box. Touches nothing but its arguments, so the window that asked may
// go while the dialog is open, as long as `parent` stays.
void SaveTextAs(IFileSavePicker& picker, IUserMessages& messages, QWidget* parent,
                const QString& caption, const QString& suggestedName, const std::string& text);
