// Apart from the client on libcurl, so that the operations need no FTP library.
#include "core/staging/FtpClient.h"

std::string FtpOutcome::ErrorText() const {
    return ok ? std::string() : InternetErrorText(code, label, response);
}
