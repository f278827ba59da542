#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class CTarnDoc;
class CMainFrame;

namespace Ui {
class CTarnView;
}

// The main window's form: the terminal list, the selected terminal's data, the
// banner and the Refresh and Clear All buttons. It decides which commands are
// enabled and starts the other windows.
class CTarnView : public QWidget {
    Q_OBJECT
public:
    CTarnView(CTarnDoc& doc, CMainFrame* frame);
    ~CTarnView() override;

    CTarnDoc& GetDocument() const { return m_doc; }
    Ui::CTarnView& Controls() const { return *m_ui; }
    QString Banner() const { return m_strBanner; }
    QString Status() const { return m_strStatus; }
    bool IsInitialUpdateDone() const { return m_initialUpdateDone; }

    // Setup dialog (run modally); also opened at start-up on a first run.
    void OnSetup();

public slots:
    void UpdateCommandUi();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitialUpdate();
    void AddHelpMenu();
    void ShrinkFrameToFit();
    void SetBanner(const QString& text);

    CTarnDoc& m_doc;
    CMainFrame* m_frame;
    std::unique_ptr<Ui::CTarnView> m_ui;
    QString m_strBanner;
    QString m_strStatus;
    CMainFrame* m_pStatusBar = nullptr;  // the frame that owns the status bar, once shown
    bool m_initialUpdateDone = false;
};
