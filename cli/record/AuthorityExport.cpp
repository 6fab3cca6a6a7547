#include "AuthorityExport.h"

#include "ConsoleLines.h"
#include "ExitStatus.h"
#include "model/FileSaving.h"
#include "recorder/RecordingProxy.h"

int exportAuthorityCertificate(const std::string& authorityFolder, const std::string& file,
                               ConsoleLines& console) {
    // Starting the proxy is what loads or creates the authority; it listens on loopback only and
    // stops again at once.
    torvex::RecordingProxy::Options options;
    options.authorityFolder = authorityFolder;
    torvex::RecordingProxy proxy(std::move(options));
    std::string error;
    if (!proxy.start(error)) {
        console.error(error);
        return exit_status::kFailed;
    }
    const std::string pem = proxy.authorityCertificatePem();
    proxy.stop();
    if (pem.empty()) {
        console.error("The certificate authority in " + authorityFolder + " has no certificate.");
        return exit_status::kFailed;
    }
    if (!torvex::saveFileContents(file, pem)) {
        console.error("Cannot write the certificate file " + file + ".");
        return exit_status::kFailed;
    }
    console.out("Wrote the recorder's certificate authority to " + file +
                "; import it into the browser as a trusted authority to record HTTPS sites.");
    return exit_status::kClean;
}
