#include "gui/common/FolderPicker.h"

#include <QFileDialog>

QString QtFolderPicker::PickFolder(QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, QString(), start, QFileDialog::ShowDirsOnly);
}
