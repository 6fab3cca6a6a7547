#include "app/FeedbackMail.h"

#include <QFile>
#include <QStringList>

#include <sys/utsname.h>

namespace torvex {

const char* const kWebSiteAddress = "https://torvex.dev/";
const char* const kSupportAddress = "support@torvex.dev";

namespace {

// Undoes the shell escapes that os-release allows inside double quotes: \$ \` \\ \".
QString unescaped(const QString& value) {
    QString text;
    for (qsizetype at = 0; at < value.size(); ++at) {
        if (value[at] == u'\\' && at + 1 < value.size() &&
            QStringView(u"$`\\\"").contains(value[at + 1]))
            ++at;
        text += value[at];
    }
    return text;
}

// The value of PRETTY_NAME in an os-release file, without its quotes; empty when absent.
QString prettyName(const QString& osReleasePath) {
    QFile file(osReleasePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QString key = QStringLiteral("PRETTY_NAME=");
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith(key)) continue;
        const QString value = line.mid(key.size());
        const bool quoted   = value.size() >= 2 && value.back() == value.front() &&
                            (value.front() == u'"' || value.front() == u'\'');
        if (!quoted) return value;
        const QString inner = value.mid(1, value.size() - 2);
        return value.front() == u'"' ? unescaped(inner) : inner;
    }
    return {};
}

QString kernelRelease() {
    utsname names{};
    if (uname(&names) != 0) return {};
    return QString::fromUtf8(names.release);
}

// Percent-encoded for a mail link; the harmless punctuation of system names stays readable.
QString encoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("/(),:")));
}

} // namespace

QString systemDescription(const QString& osReleasePath) {
    QStringList parts;
    if (QString name = prettyName(osReleasePath); !name.isEmpty()) parts << name;
    if (QString release = kernelRelease(); !release.isEmpty())
        parts << QStringLiteral("Linux ") + release;
    return parts.join(QStringLiteral(", "));
}

QUrl feedbackMailUrl(const QString& system) {
    // The body keeps its line breaks as %0d%0a; every other text is encoded for the mail client.
    const QString lineBreak = QStringLiteral("%0d%0a");
    const QString body = encoded(QStringLiteral(__DATE__)) + lineBreak + QStringLiteral("OS:%20") +
                         encoded(system) + lineBreak + lineBreak;
    const QString link =
        QStringLiteral("mailto:") + QLatin1String(kSupportAddress) + QStringLiteral("?subject=") +
        encoded(QStringLiteral("Torvex 2.0 Feedback")) + QStringLiteral("&body=") + body;
    return QUrl(link, QUrl::StrictMode);
}

} // namespace torvex
