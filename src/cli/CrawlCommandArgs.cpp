#include "cli/CrawlCommand.h"
#include "core/CrawlOptions.h"
#include "core/NumberText.h"

namespace {

bool TakeValue(const QStringList& args, qsizetype& i, QString* value, QString* error) {
    const QString& arg = args[i];
    const qsizetype eq = arg.indexOf(QLatin1Char('='));
    if (eq > 0) {
        *value = arg.mid(eq + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        *error = QStringLiteral("%1 needs a value").arg(arg);
        return false;
    }
    *value = args[++i];
    return true;
}

bool WholeNumber(const QString& value, int low, int high, int* number) {
    const auto n = ToLongHalfEven(value);
    if (!n || *n < low || *n > high) return false;
    *number = int(*n);
    return true;
}

// The value of args[i] as a whole number from low to high; what is wanted goes into the error.
bool TakeNumber(const QStringList& args, qsizetype& i, int low, int high, const QString& wanted,
                std::optional<int>* number, QString* error) {
    const QString name = args[i].section(QLatin1Char('='), 0, 0);
    QString value;
    int n = 0;
    if (!TakeValue(args, i, &value, error)) return false;
    if (!WholeNumber(value, low, high, &n)) {
        *error = name + QStringLiteral(" wants ") + wanted;
        return false;
    }
    *number = n;
    return true;
}

// The crawl rules. False when args[i] is none of them (error stays empty) or is wrong (error
// set); true when it was taken.
bool TakeRuleOption(const QStringList& args, qsizetype& i, CrawlCommandOptions& o, QString* error) {
    const QString& arg = args[i];
    const QString name = arg.section(QLatin1Char('='), 0, 0);
    QString value;
    if (arg == "--no-revisit") {
        o.noRevisit = true;
    } else if (arg == "--skip-known") {
        o.skipKnown = true;
    } else if (arg == "--robots") {
        o.robots = true;
    } else if (arg == "--no-archive") {
        o.archive = false;
    } else if (arg == "--parse-html") {
        o.parseHtml = true;
    } else if (arg == "--skip-similar") {
        o.skipSimilar = true;
    } else if (arg == "--render-pages") {
        o.renderPages = true;
    } else if (name == "--scope") {
        CrawlScope scope;
        if (!TakeValue(args, i, &value, error)) return false;
        if (!ParseScope(value, &scope)) {
            *error = QStringLiteral("--scope wants all, host or folder");
            return false;
        }
        o.scope = ScopeName(scope);
    } else if (name == "--delay") {
        const int most = CrawlOptions::kMaxDelayMs;
        return TakeNumber(args, i, 0, most, QStringLiteral("milliseconds from 0 to %1").arg(most),
                          &o.delayMs, error);
    } else if (name == "--connections") {
        const int least = CrawlOptions::kMinConnections, most = CrawlOptions::kMaxConnections;
        return TakeNumber(args, i, least, most,
                          QStringLiteral("a whole number from %1 to %2").arg(least).arg(most),
                          &o.connections, error);
    } else if (name == "--retries") {
        const int most = CrawlOptions::kMaxRetries;
        return TakeNumber(args, i, 0, most,
                          QStringLiteral("a whole number from 0 to %1").arg(most), &o.retries,
                          error);
    } else if (name == "--user-agent") {
        if (!TakeValue(args, i, &value, error)) return false;
        o.userAgent = value;
    } else if (name == "--cookies") {
        if (!TakeValue(args, i, &value, error)) return false;
        o.cookieFile = value;
    } else if (name == "--origin") {
        return TakeValue(args, i, &o.origin, error);
    } else {
        return false;
    }
    return true;
}

}  // namespace

QString CrawlUsage() {
    return QStringLiteral(
        "Usage: siterambler-crawl [options] START_URL DOWNLOAD_FOLDER\n"
        "       siterambler-crawl [options] --resume FILE [START_URL] [DOWNLOAD_FOLDER]\n"
        "\n"
        "Crawls from START_URL like Site Rambler's start button, without a window: a new run\n"
        "folder SR0000..SR9999 is made under DOWNLOAD_FOLDER and every page and image is stored\n"
        "there under its sequence number. Settings come from Init.dat unless overridden.\n"
        "\n"
        "Options:\n"
        "  --delete-pages        delete stored pages after they were scanned\n"
        "  --keep-pages          keep stored pages\n"
        "  --min-image-kb N      delete images smaller than N kilobytes (1000 bytes)\n"
        "  --keep-all-images     keep every image whatever its size\n"
        "  --connections N       transfers in flight at once, 1 to 16 (1: one at a time)\n"
        "  --max-pages N         stop after N pages (the queue is saved, exit code 0)\n"
        "  --max-seconds S       stop after S seconds (the queue is saved, exit code 0)\n"
        "  --save-queue FILE     where the queue goes when the crawl stops early\n"
        "                        (default: queue.srs in the run folder, else\n"
        "                        siterambler-queue-SRnnnn.srs in the download folder, else in\n"
        "                        the temporary folder)\n"
        "  --resume FILE         start from a saved crawl settings file (.srs); with\n"
        "                        --no-revisit, what the runs of that queue fetched (as the\n"
        "                        crawl archive tells) is not fetched again\n"
        "  --no-revisit          fetch every URL at most once in the run\n"
        "  --scope all|host|folder\n"
        "                        which pages are queued: any, those on the start URL's host,\n"
        "                        those under the start URL's folder (pictures: any host)\n"
        "  --skip-known          do not fetch pictures stored by earlier runs into the same\n"
        "                        download folder; delete a picture whose bytes were stored before\n"
        "  --skip-similar        delete a picture that looks like one kept before, in this\n"
        "                        run or an earlier one into the same download folder, unless\n"
        "                        it has more pixels (its number stays used)\n"
        "  --delay MS            least time between the starts of two requests to one host\n"
        "  --robots              honour each host's robots.txt\n"
        "  --no-archive          do not record the run in the download folder's crawl archive\n"
        "                        (siterambler-archive.sqlite)\n"
        "  --parse-html          read pages as HTML: pictures from srcset (the largest),\n"
        "                        lazy attributes, <picture>, CSS url(), og:image and links to\n"
        "                        pictures; pages from links with queries and no extension;\n"
        "                        what a URL without a known extension is, and the extension\n"
        "                        it is stored under, from the answer's content type\n"
        "  --render-pages        show every page in a headless browser (chromium-headless-shell)\n"
        "                        and read it as rendered, with --parse-html: pictures and\n"
        "                        links made by scripts, lazy pictures and endless pages\n"
        "                        scrolled; each picture is still fetched once, by the crawl\n"
        "  --retries N           try a fetch again up to N times (0 to 10) after a network\n"
        "                        error, a time-out, 408, 429 or 5xx: after the server's\n"
        "                        Retry-After (up to 5 minutes), else 1 s, 2 s, 4 s ...; a 429\n"
        "                        or 503 also slows that host down for the rest of the run\n"
        "  --cookies FILE        send the cookies of FILE (Netscape format, as Wget and curl\n"
        "                        read it) where their domains and paths allow; never written\n"
        "  --user-agent TEXT     the User-Agent sent (default: SiteRambler/VERSION)\n"
        "  --origin FILE         print what the crawl archive knows of a stored file\n"
        "  --quiet               no progress output\n"
        "  --help                show this text\n"
        "  --version             show the version\n"
        "\n"
        "Ctrl-C or SIGTERM stops the crawl like the cancel button and saves the queue\n"
        "(exit code 130); a second Ctrl-C ends at once.\n"
        "A full disk, a vanished run folder or one no longer writable stops the crawl the\n"
        "same way: the cause is printed, the queue saved if it can be (else where it was tried).\n"
        "A start page that cannot be fetched ends the run at once: the cause is printed.\n"
        "Exit codes: 0 completed or a limit reached, 1 bad arguments or input,\n"
        "4 start page: network failure (refused, no such host, timed out),\n"
        "5 start page: certificate not trusted, 8 start page: the server answered an error,\n"
        "74 stopped by a storage failure or the queue saved nowhere, 130 signal.\n");
}

std::optional<CrawlCommandOptions> ParseCrawlArguments(const QStringList& args, QString* error) {
    CrawlCommandOptions o;
    QStringList positional;
    QString ruleError;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const QString name = arg.section(QLatin1Char('='), 0, 0);
        QString value;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--quiet" || arg == "-q") {
            o.quiet = true;
        } else if (arg == "--delete-pages") {
            o.htmlAutoDelete = QStringLiteral("0");
        } else if (arg == "--keep-pages") {
            o.htmlAutoDelete = QStringLiteral("1");
        } else if (arg == "--keep-all-images") {
            o.pictAutoDelete = QStringLiteral("1");
        } else if (name == "--min-image-kb") {
            if (!TakeValue(args, i, &value, error)) return std::nullopt;
            const auto kb = ToLongHalfEven(value);
            if (!kb || *kb < 0 || *kb > 2147483) {
                *error = QStringLiteral("--min-image-kb wants a whole number from 0 to 2147483");
                return std::nullopt;
            }
            o.minImageKb = *kb;
            o.pictAutoDelete = QStringLiteral("0");
        } else if (name == "--max-pages") {
            if (!TakeValue(args, i, &value, error)) return std::nullopt;
            bool ok = false;
            o.maxPages = value.toLongLong(&ok);
            if (!ok || o.maxPages < 1) {
                *error = QStringLiteral("--max-pages wants a positive whole number");
                return std::nullopt;
            }
        } else if (name == "--max-seconds") {
            if (!TakeValue(args, i, &value, error)) return std::nullopt;
            bool ok = false;
            o.maxSeconds = value.toDouble(&ok);
            if (!ok || !(o.maxSeconds > 0)) {
                *error = QStringLiteral("--max-seconds wants a positive number");
                return std::nullopt;
            }
        } else if (name == "--save-queue") {
            if (!TakeValue(args, i, &o.saveQueue, error)) return std::nullopt;
        } else if (name == "--resume") {
            if (!TakeValue(args, i, &o.resume, error)) return std::nullopt;
        } else if (TakeRuleOption(args, i, o, &ruleError)) {
            // taken
        } else if (!ruleError.isEmpty()) {
            *error = ruleError;
            return std::nullopt;
        } else if (arg == "--") {
            positional += args.mid(i + 1);
            break;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            *error = QStringLiteral("unknown option %1").arg(arg);
            return std::nullopt;
        } else {
            positional << arg;
        }
    }
    if (o.help || o.version || !o.origin.isEmpty()) return o;
    const qsizetype wanted = o.resume.isEmpty() ? 2 : 0;
    if (positional.size() < wanted || positional.size() > 2) {
        *error = o.resume.isEmpty() ? QStringLiteral("START_URL and DOWNLOAD_FOLDER are needed")
                                    : QStringLiteral("too many arguments");
        return std::nullopt;
    }
    if (positional.size() > 0) o.startUrl = positional[0];
    if (positional.size() > 1) o.downloadFolder = positional[1];
    return o;
}
