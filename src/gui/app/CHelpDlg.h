#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class CHelpDlg;
}

// Help Topics: the user guide, rendered from its Markdown file, in a window of
// its own beside the console. It goes when closed.
class CHelpDlg : public QDialog {
    Q_OBJECT
public:
    // The window over the first guide file of GuideLocations(); null when none
    // of them can be read.
    static CHelpDlg* Open(QWidget* parent);
    // Where the guide is looked for: beside the program (a build), then in the
    // installation's data folder.
    static std::vector<std::string> GuideLocations();
    ~CHelpDlg() override;

    // The guide as shown.
    QString GuideText() const;

private:
    CHelpDlg(const QString& markdown, QWidget* parent);

    std::unique_ptr<Ui::CHelpDlg> m_ui;
};
