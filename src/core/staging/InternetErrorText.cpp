#include "core/staging/InternetErrorText.h"

#include <map>

#include "core/common/TextFormat.h"

namespace {

const std::map<unsigned long, std::string>& Table() {
    static const std::map<unsigned long, std::string> table = {
        {5, "Access Denied to File or Directory"},
        {12001, "No more handles could be generated at this time."},
        {12002, "The request has timed out."},
        {12004, "An internal error has occurred."},
        {12005, "The address of the requested resource is not valid."},
        {12006, "The scheme of the requested address is not recognised or not supported."},
        {12007, "The server name could not be resolved."},
        {12008, "No protocol could be found to handle the request."},
        {12009, "The option named in the request is not valid."},
        {12010, "The length given for the option does not suit the option's type."},
        {12011, "The option can be read but not set."},
        {12012, "Internet support is shutting down or has been unloaded."},
        {12013,
         "The request to connect and log on to an FTP server could not be completed because the "
         "supplied user name is incorrect."},
        {12014,
         "The request to connect and log on to an FTP server could not be completed because the "
         "supplied password is incorrect."},
        {12015, "The request to connect to and log on to an FTP server failed."},
        {12016, "The requested operation is invalid."},
        {12017,
         "The operation was canceled, usually because the handle on which the request was "
         "operating was closed before the operation completed."},
        {12018, "The type of handle supplied is incorrect for this operation."},
        {12019,
         "The requested operation cannot be carried out because the handle supplied is not in "
         "the correct state."},
        {12020, "The request cannot be made through a proxy."},
        {12021, "A required configuration value could not be found."},
        {12022, "A configuration parameter is not valid."},
        {12023, "Direct network access cannot be used at this time."},
        {12024, "The request needs a context value, and none was given."},
        {12025, "The request needs a status callback, and none was installed."},
        {12026, "The request could not be completed because earlier requests are still pending."},
        {12027, "The format of the request is not valid."},
        {12028, "The requested item could not be found."},
        {12029, "The attempt to connect to the server failed."},
        {12030, "The connection with the server has been terminated."},
        {12031,
         "The connection with the server has been reset.Possible disk full or access problem on "
         "FTP server."},
        {12032, "The request must be made again."},
        {12033, "The request to the proxy is not valid."},
        {12036, "The request failed because the handle already exists."},
        {12037, "The date of the server's security certificate is not valid."},
        {12038, "The name in the server's security certificate does not match the server."},
        {12039, "The request was redirected from an unsecured to a secured connection."},
        {12040, "The request was redirected from a secured to an unsecured connection."},
        {12041, "The content is not entirely secure: some of it came over unsecured connections."},
        {12042, "Data is about to be sent to the server over an unsecured connection."},
        {12043, "Data is about to be sent over a connection that is not secure."},
        {12110,
         "The requested operation cannot be made on the FTP session handle because an operation "
         "is already in progress."},
        {12111, "The FTP operation was not completed because the session was aborted."},
        {12130, "The Gopher server's reply broke the Gopher protocol."},
        {12131, "The request needs a Gopher locator of a file, and this one names none."},
        {12132, "The data received from the Gopher server is not valid."},
        {12133, "The end of the Gopher data has been reached."},
        {12134, "The Gopher locator is not valid."},
        {12135, "The type of the Gopher locator is wrong for this operation."},
        {12136, "The operation needs a Gopher+ server, and this server is not one."},
        {12137, "The requested Gopher attribute could not be found."},
        {12138, "The type of the Gopher locator is not known."},
        {12150, "The requested header could not be found."},
        {12151, "The server does not support the requested protocol level."},
        {12152, "The server's response could not be understood."},
        {12153, "The header supplied is not valid."},
        {12154, "The request made of the headers is not valid."},
        {12155, "The header cannot be added because it already exists."},
        {12156, "The redirection failed because either the scheme changed"},
    };
    return table;
}

// The longest server reply that is shown as it stands.
constexpr std::size_t kMaxResponseText = 5000;

}  // namespace

std::string InternetErrorText(unsigned long code, const std::string& label,
                              const FtpLastResponse& response) {
    if (code == ftp_code::kExtendedError) {
        if (!response.text.empty() && response.text.size() <= kMaxResponseText) {
            return response.text;
        }
        return FormatText("%s = %lu Extended Message Fail", label.c_str(), response.error);
    }
    const auto& table = Table();
    if (auto it = table.find(code); it != table.end()) {
        return it->second;
    }
    return FormatText("%s = %lu", label.c_str(), code);
}

bool HasInternetErrorText(unsigned long code) {
    return Table().count(code) != 0;
}
