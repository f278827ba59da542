#include "core/common/StringTable.h"

#include <map>

namespace {

const std::map<int, std::string>& Table() {
    static const std::map<int, std::string> table = {
        {104, "Windows Sockets Initialization Failed."},
        // Trap lines.
        {105, "Cold Start"},
        {106, "Warm Start"},
        {107, "Link Down"},
        {108, "Link Up"},
        {109, "Protocol Message Authentication Failure"},
        {110, "Firmware Build # Mismatch From DHCP Server"},
        {111, "Firmware Upgrade Initiated Due to Build # Mismatch"},
        {112, "Firmware Upgrade Initiated Due to Build # Mismatch Not Completed"},
        {113, "Ready To Accept Upload / Download Request From SNMP Manager"},
        {114, "SNMP Initiated Up/Download Request Done"},
        {115, "SNMP Initiated Up/Download Request Not Completed"},
        // Reason lines.
        {116, "Done"},
        {117, "Done / Same Version"},
        {118, "Not Ready To Process This Request"},
        {119, "Terminal Initiated a Shut Down"},
        {120, "SNMP/DHCP Update Disabled From Terminal"},
        {121, "Download Blocked / Not Bundle And FIle Does Not Exist"},
        {122, "Source File Not Found"},
        {123, "Error Ocurred While Sending A File To The Terminal"},
        {124, "Upload Process is Blocked By Terminal"},
        {125, "Missing Server Or Cannot Connect To Server"},
        {126, "Error In File Transfer Using Specified Protocol"},
        {127, "Not Enough Memory To Store Update Image"},
        {129, "No Resource In Protocol Stack To Handle This Request"},
        {130, "Failed To Resolve Server Name To IP Address"},
        {131, "A Non-Bundle File Was Used With A DHCP Invoked Download"},
        {132, "ASN Type Not Integer"},
        {133, "Specific Trap Definition Not Found"},
        {134, "Checksum Error On Received Bundle File"},
        {135, "Flash Initialization Failed"},
        {136, "Failed To Write To Flash"},
        {137, "Terminal Canceled Firmware Download"},
        {138, "Invalid NOR Flash"},
        {139, "Transfer Protocol Not Supported"},
        {140, "SNMP Initiated Reboot Request Not Completed"},
        // Configuration transfer and filtering.
        {141, "Must Provide a Path for the Configuration File"},
        {143, "Terminal(s) Must Be Selected Before Configuration Transfer Can Occur"},
        {144, "Download OK, Registry Parse and Update Fail, Possible Bad Registry File"},
        {145,
         "Download OK, Registry Parse And Update Fail, Build # In Registry File Newer Than "
         "Target."},
        {146,
         "Download OK, Registry Parse and Update Fail, Platform In Registry File Different From "
         "Target"},
        {147,
         "Download OK, Registry Parse and Update Fail, OS In Registry File Different From Target"},
        {148, "AvailableExclusions"},
        {149, "CurrentExclusions"},
        {153, "Please Wait"},
        // The filter plug-in is a shared object on this platform; the text names that file.
        {158, "libRegFilter.so Is Missing"},
        {159, "File Not Found"},
        {160, "Could Not Read File."},
        {161, "Could Not Write File."},
        {162, "Out Of Buffer Memory (Internal)"},
        {163, "An Unknown Error Occured During Filtering Of The Registry File"},
        // Discovery, setup and progress.
        {166, "Bad Discover IP Sub Net Entry in INI, Check Setup"},
        {167, "Syntax Error in Discover IP Sub Net Entry, Check Entry"},
        {168, "Refresh And Validate All Units"},
        {169, "Filtering Source Configuration File"},
        {170, "FTP Configuration to FTP Server"},
        {171, "Sending Download Configuration Request to Terminal(s)"},
        {172, "There Was An Error Encrypting The FTP Server Password, Password Cleared"},
        {173, "There Was An Error Decrypting The FTP Server Password, Password Cleared"},
        {174, "Download Configuration Request(s) Complete Using Files From:"},
        {175, "Must Provide FTP Server Name Or IP Address"},
        {176, "Check Trap Monitor for any Download Failures"},
        {182, "- Set Trap Server Error -"},
        {183, "- Skipping to Next Terminal -"},
        {184, "New Unit(s) Added To Database Through Trap(s), Press Refresh"},
        {185, "IP Range in Subnet(s) Must Be Equal Or Low (left) To High (right)"},
        {186, "Unknown - Can't Retrieve Identity"},
        {188, "Failed to Reset The Terminal To Factory Default Settings"},
        {189, "Failed To Read Params.ini File From FTP/TFTP Server"},
        {190,
         "Attempted Firmware Download With Invalid Bootstrap.exe, Non-Compatible Terminal "
         "Hardware."},
        {191, "- Set Reboot Action Error -"},
        {192, "Trap Monitor Must Be Available At All Times, Close Ignored."},
        {197, "The New Firmware Image Is Not Valid For This Terminal"},
        {198, "Firmware Bootflash Code Not Compatible With Terminal Bootflash Hardware"},
        // Traps the Trap Monitor could not log, each count followed by its reason.
        {301, "Traps Lost:"},
        {302, "Unreadable Datagram(s), Not A Trap The Console Can Read"},
        {303, "Trap(s) Dropped, Too Many Waiting To Be Logged"},
        {304, "Trap(s) Dropped, Too Many Waiting For A Sender That Does Not Answer"},
        // A dialog's list entry that the main list did not show at its last refresh.
        {305, "Terminal Not Listed As Of The Last Refresh, Exit And Refresh The List"},
        // An exported list or a saved log that could not be written; the file and why follow.
        {306, "The File Could Not Be Saved:"},
        // Help Topics without the guide file; the places looked at follow.
        {310, "User Guide Not Found, Looked For:"},
        // Menu prompts: status-bar text, then the tool tip after a line break.
        {32771, "Modeless Dialog to Monitor Traps"},
        {32774, "Set Application Configuration Options"},
        {32775, "Modeless Dialog to Discover Network Units"},
        {32776, "Upload And Store Configuration From a Terminal"},
        {32777, "Download Stored Configuration To Terminal(s)"},
        {32779, "Download / Upgrade Terminal(s) With User Selected Firmware"},
        {57344, "Fleetwarden"},
        {57345, "Ready"},
        {57665, "Quit the application\nExit"},
        {57670, "Display Application Help Topics"},
        {59393, "Show or hide the status bar\nToggle StatusBar"},
    };
    return table;
}

}  // namespace

const std::string& LoadResString(int id) {
    static const std::string empty;
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

bool HasResString(int id) {
    return Table().count(id) != 0;
}
