#include "render/BrowserSetup.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QStandardPaths>

#include "core/CrawlOptions.h"

namespace {

QString Environment(const char* lower, const char* upper) {
    const QByteArray value = qgetenv(lower);
    return QString::fromLocal8Bit(value.isEmpty() ? qgetenv(upper) : value).trimmed();
}

// http=…;https=… from libcurl's variables, so that the pages go the way the transfers go.
void EnvironmentProxy(BrowserSetup* setup) {
    const QString all = Environment("all_proxy", "ALL_PROXY");
    QString http = qEnvironmentVariable("http_proxy").trimmed();  // libcurl: lower case only
    QString https = Environment("https_proxy", "HTTPS_PROXY");
    if (http.isEmpty()) http = all;
    if (https.isEmpty()) https = all;
    QStringList rules;
    if (!http.isEmpty()) rules << QStringLiteral("http=") + http;
    if (!https.isEmpty()) rules << QStringLiteral("https=") + https;
    setup->proxy = rules.join(u';');
    QStringList bypass = Environment("no_proxy", "NO_PROXY").split(u',', Qt::SkipEmptyParts);
    for (QString& host : bypass) host = host.trimmed();
    setup->proxyBypass = bypass.join(u';');
}

}  // namespace

BrowserSetup CrawlBrowserSetup(const CrawlOptions& options) {
    BrowserSetup setup;
    const QString chosen = qEnvironmentVariable("SITERAMBLER_BROWSER");
    setup.program = chosen.isEmpty()
                        ? QStandardPaths::findExecutable(QString::fromLatin1(kBrowserPackage))
                        : (QFileInfo(chosen).isExecutable() ? chosen : QString());
    setup.userAgent = EffectiveUserAgent(options);
    setup.cookieFile = options.cookieFile;
    EnvironmentProxy(&setup);
    setup.noSandbox = ::geteuid() == 0;
    return setup;
}

QStringList BrowserArguments(const BrowserSetup& setup, const QString& profileFolder) {
    // what a closed machine needs: no calls home, no updates, no sync, no GPU
    QStringList arguments{
        QStringLiteral("--headless"),
        QStringLiteral("--remote-debugging-pipe"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--no-first-run"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--mute-audio"),
        QStringLiteral("--user-data-dir=") + profileFolder,
        QStringLiteral("--window-size=%1,%2").arg(setup.window.width()).arg(setup.window.height())};
    if (!setup.userAgent.isEmpty()) arguments << QStringLiteral("--user-agent=") + setup.userAgent;
    if (!setup.proxy.isEmpty()) arguments << QStringLiteral("--proxy-server=") + setup.proxy;
    if (!setup.proxyBypass.isEmpty())
        arguments << QStringLiteral("--proxy-bypass-list=") + setup.proxyBypass;
    if (setup.noSandbox) arguments << QStringLiteral("--no-sandbox");
    arguments << QStringLiteral("about:blank");
    return arguments;
}

QJsonArray ReadCookieFile(const QString& path) {
    QJsonArray cookies;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return cookies;
    const QString httpOnlyMark = QStringLiteral("#HttpOnly_");
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine()).trimmed();
        const bool httpOnly = line.startsWith(httpOnlyMark);
        if (httpOnly) line.remove(0, httpOnlyMark.size());
        const QStringList f = line.split(u'\t');
        if (line.startsWith(u'#') || f.size() < 7 || f[0].isEmpty()) continue;
        QString domain = f[0];
        const bool secure = f[3].compare(QStringLiteral("TRUE"), Qt::CaseInsensitive) == 0;
        QJsonObject cookie{{QStringLiteral("name"), f[5]},
                           {QStringLiteral("value"), f[6]},
                           {QStringLiteral("path"), f[2]},
                           {QStringLiteral("secure"), secure},
                           {QStringLiteral("httpOnly"), httpOnly}};
        if (f[1].compare(QStringLiteral("TRUE"), Qt::CaseInsensitive) == 0) {
            if (!domain.startsWith(u'.')) domain.prepend(u'.');
            cookie.insert(QStringLiteral("domain"), domain);
        } else {  // for that host alone, which only a URL says
            if (domain.startsWith(u'.')) domain.remove(0, 1);
            cookie.insert(
                QStringLiteral("url"),
                (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + domain + f[2]);
        }
        if (const qint64 expires = f[4].toLongLong(); expires > 0)
            cookie.insert(QStringLiteral("expires"), double(expires));
        cookies.append(cookie);
    }
    return cookies;
}
