#pragma once

#include <QString>
#include <QUrl>

namespace torvex {

// Where the web site and feedback items of the Help menu lead.
extern const char* const kWebSiteAddress;
extern const char* const kSupportAddress;

// The system a tester runs on, for feedback: the distribution's name and the kernel release,
// e.g. "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64". Empty when neither can be read.
QString systemDescription(const QString& osReleasePath = QStringLiteral("/etc/os-release"));

// The "mailto:" link of "Send Feedback...": the support address, the subject "Torvex 2.0
// Feedback" and a body with the build date and `system`.
QUrl feedbackMailUrl(const QString& system);

} // namespace torvex
