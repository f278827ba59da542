#include "gui/common/FileSavePicker.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

#include "core/common/SaveTextFile.h"
#include "core/common/StringTable.h"
#include "core/common/UserMessages.h"

QString QtFileSavePicker::PickSaveFile(QWidget* parent, const QString& caption,
                                       const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, caption, suggested);
}

void SaveTextAs(IFileSavePicker& picker, IUserMessages& messages, QWidget* parent,
                const QString& caption, const QString& suggestedName, const std::string& text) {
    QString path = picker.PickSaveFile(parent, caption, QDir::home().filePath(suggestedName));
    if (path.isEmpty()) {
        return;
    }
    if (auto problem = SaveTextFile(QFile::encodeName(path).toStdString(), text)) {
        messages.ShowMessage(
            LoadResString(ids::kFileNotSaved) + " " + path.toStdString() + " (" + *problem + ")",
            MessageIcon::Warning);
    }
}
