// The Trap Monitor's log with a long history: how long the lines of a hundred
// thousand traps' worth take to show, and what one more line, a scroll and a
// Clear Display cost once they are there. Runs on the offscreen platform.
#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <cstdio>
#include <thread>

#include "BenchSupport.h"
#include "core/app/CTarnDoc.h"
#include "core/settings/SettingsPath.h"
#include "core/snmp/SnmpManager.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTarnView.h"
#include "gui/traps/CTrapMonitorDlg.h"

namespace {

constexpr int kLines = 100000;

// Runs the event loop until the log shows `count` lines; returns the seconds taken.
double UntilShown(CTrapMonitorDlg& monitor, int count, Clock::time_point start) {
    while (monitor.LineCounter() < count) {
        QApplication::processEvents();
    }
    monitor.findChild<QListView*>("trapLog")->repaint();
    return SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitialiseSnmpLibrary();
    std::string dir = MakeTempDir();
    std::string settings = dir + "/bench.ini";
    WriteFile(settings, "[Misc]\nGetCommunity=public\nSetCommunity=private\nTrapPort=" +
                            std::to_string(FreeUdpPortOn("0.0.0.0")) + "\n");
    SharedState state(settings);
    PrintedMessages messages;
    CTarnDoc doc(messages, NetSnmpManager(), state);
    CMainFrame frame(doc);
    frame.show();
    while (!frame.View()->TrapMonitor() || frame.View()->TrapMonitor()->LineCounter() < 1) {
        QApplication::processEvents();
    }
    CTrapMonitorDlg& monitor = *frame.View()->TrapMonitor();
    QListView* log = monitor.findChild<QListView*>("trapLog");

    // The listener's lines arrive from its own thread.
    Clock::time_point start = Clock::now();
    std::thread writer([&] {
        for (int i = 1; i < kLines; ++i) {
            monitor.AddLine("Unknown Trap generic=6 private=" + std::to_string(i));
        }
    });
    double fill = UntilShown(monitor, kLines, start);
    writer.join();

    start = Clock::now();
    std::thread one([&] { monitor.AddLine("SNMP Initiated Up/Download Request Done"); });
    one.join();
    double oneLine = UntilShown(monitor, kLines + 1, start);

    start = Clock::now();
    for (int i = 0; i < 10; ++i) {
        log->verticalScrollBar()->setValue(i % 2 ? log->verticalScrollBar()->maximum() : 0);
        log->repaint();
    }
    double scroll = SecondsSince(start) / 10;

    start = Clock::now();
    monitor.ClearDisplay();
    log->repaint();
    double clear = SecondsSince(start);

    std::printf("Trap Monitor log (offscreen):\n");
    std::printf("  %d lines from another thread shown in %.3f s (%.0f lines per second)\n", kLines,
                fill, kLines / fill);
    std::printf("  one more line at %d lines: %.1f ms until shown\n", kLines, oneLine * 1000);
    std::printf("  a jump between top and bottom, painted: %.1f ms\n", scroll * 1000);
    std::printf("  Clear Display of %d lines: %.1f ms\n", kLines + 1, clear * 1000);
    std::printf("  the log starts over at %d lines\n", CTrapMonitorDlg::kMaxLines);
    return 0;
}
