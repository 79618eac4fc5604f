#include "core/CrawlOptions.h"

#include <algorithm>

#include "core/NumberText.h"
#include "core/ProfileFile.h"

CrawlOptions gCrawlOptions;

namespace {

const QString kSection = QStringLiteral("Crawl");

bool ReadFlag(const ProfileFile& profile, const QString& key, bool fallback) {
    const QString text = profile.value(kSection, key);
    if (text.isEmpty()) return fallback;
    const auto number = ToLongHalfEven(text);
    return number ? *number != 0 : fallback;
}

int ReadNumber(const ProfileFile& profile, const QString& key, int fallback, int low, int high) {
    const auto number = ToLongHalfEven(profile.value(kSection, key));
    if (!number) return fallback;
    return int(std::clamp<long long>(*number, low, high));
}

}  // namespace

QString ScopeName(CrawlScope scope) {
    switch (scope) {
        case CrawlScope::Host: return QStringLiteral("host");
        case CrawlScope::Folder: return QStringLiteral("folder");
        case CrawlScope::All: break;
    }
    return QStringLiteral("all");
}

bool ParseScope(const QString& text, CrawlScope* scope) {
    for (CrawlScope s : {CrawlScope::All, CrawlScope::Host, CrawlScope::Folder}) {
        if (text.trimmed().compare(ScopeName(s), Qt::CaseInsensitive) == 0) {
            *scope = s;
            return true;
        }
    }
    return false;
}

CrawlOptions ReadCrawlOptions(const ProfileFile& profile) {
    CrawlOptions o;
    o.connections = ReadNumber(profile, QStringLiteral("Connections"), o.connections,
                               CrawlOptions::kMinConnections, CrawlOptions::kMaxConnections);
    o.noRevisit = ReadFlag(profile, QStringLiteral("NoRevisit"), o.noRevisit);
    ParseScope(profile.value(kSection, QStringLiteral("Scope")), &o.scope);
    o.skipKnown = ReadFlag(profile, QStringLiteral("SkipKnown"), o.skipKnown);
    o.delayMs = ReadNumber(profile, QStringLiteral("DelayMs"), o.delayMs, 0,
                           CrawlOptions::kMaxDelayMs);
    o.robots = ReadFlag(profile, QStringLiteral("Robots"), o.robots);
    o.archive = ReadFlag(profile, QStringLiteral("Archive"), o.archive);
    o.parseHtml = ReadFlag(profile, QStringLiteral("ParseHtml"), o.parseHtml);
    o.userAgent = profile.value(kSection, QStringLiteral("UserAgent")).trimmed();
    o.cookieFile = profile.value(kSection, QStringLiteral("CookieFile")).trimmed();
    o.retries =
        ReadNumber(profile, QStringLiteral("Retries"), o.retries, 0, CrawlOptions::kMaxRetries);
    o.skipSimilar = ReadFlag(profile, QStringLiteral("SkipSimilar"), o.skipSimilar);
    o.renderPages = ReadFlag(profile, QStringLiteral("RenderPages"), o.renderPages);
    return o;
}

void WriteCrawlOptions(ProfileFile& profile, const CrawlOptions& o) {
    static const char* const kKeys[] = {"Connections", "NoRevisit",  "Scope",   "SkipKnown",
                                        "DelayMs",     "Robots",     "Archive", "ParseHtml",
                                        "SkipSimilar", "RenderPages"};
    static const char* const kSiteKeys[] = {"Retries", "UserAgent", "CookieFile"};
    bool present = false;
    for (const char* key : kKeys) present = present || profile.contains(kSection, key);
    for (const char* key : kSiteKeys) present = present || profile.contains(kSection, key);
    if (o == CrawlOptions{} && !present) return;
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    profile.setValue(kSection, QStringLiteral("Connections"), QString::number(o.connections));
    profile.setValue(kSection, QStringLiteral("NoRevisit"), flag(o.noRevisit));
    profile.setValue(kSection, QStringLiteral("Scope"), ScopeName(o.scope));
    profile.setValue(kSection, QStringLiteral("SkipKnown"), flag(o.skipKnown));
    profile.setValue(kSection, QStringLiteral("DelayMs"), QString::number(o.delayMs));
    profile.setValue(kSection, QStringLiteral("Robots"), flag(o.robots));
    profile.setValue(kSection, QStringLiteral("Archive"), flag(o.archive));
    profile.setValue(kSection, QStringLiteral("ParseHtml"), flag(o.parseHtml));
    profile.setValue(kSection, QStringLiteral("SkipSimilar"), flag(o.skipSimilar));
    profile.setValue(kSection, QStringLiteral("RenderPages"), flag(o.renderPages));
    profile.setValue(kSection, QStringLiteral("UserAgent"), o.userAgent);
    profile.setValue(kSection, QStringLiteral("CookieFile"), o.cookieFile);
    profile.setValue(kSection, QStringLiteral("Retries"), QString::number(o.retries));
}

QString EffectiveUserAgent(const CrawlOptions& options) {
    if (!options.userAgent.isEmpty()) return options.userAgent;
    // major.minor, as the program has always named itself
    const QString version = QStringLiteral(SR_VERSION_TEXT).section(u'.', 0, 1);
    return QStringLiteral("SiteRambler/") + version;
}
